// The key database's write side through keydb: requests signed on the token
// and certified by an openssl CA, imported certificates and keys, pairs
// adopted from pkcs11-tool, renames and deletes, checked with openssl and
// against the objects pkcs11-tool lists.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "choice/pkcs11uri.h"
#include "tokentest.h"

namespace {

// How often `text` holds `part`.
std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// `arguments` and then `more`.
std::vector<std::string> with(std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// A CA in openssl's folder: ca.key and ca.pem.
void makeCA(const OpenSSLTool& openssl) {
    openssl.copySharedKey("rsa2048.pem", "ca.key");
    openssl.must("req -x509 -key ca.key -out ca.pem -days 2 -subj '/CN=Test CA'");
}

// The CA's certificate `name`.pem for the request `csr` keydb wrote.
void certify(const OpenSSLTool& openssl, const std::filesystem::path& csr, const std::string& name,
             const std::string& serial) {
    openssl.writeFile(name + ".csr", fileText(csr));
    openssl.must("x509 -req -in " + name + ".csr -CA ca.pem -CAkey ca.key -set_serial " + serial + " -days 1 -out " +
                 name + ".pem");
}

class LifecycleTest : public TokenTest {
protected:
    void SetUp() override {
        makeCA(openssl_);
        std::ofstream(path("data")) << "signed on the token\n";
        toOpenssl("data");
    }

    // The token's objects as pkcs11-tool lists them.
    std::string objects() { return pkcs11({"--list-objects"}); }
    // How many objects pkcs11-tool lists with the plain label `label`.
    std::size_t labelled(const std::string& label) { return occurrences(objects(), "  label:      " + label + "\n"); }

    // A self-signed certificate `name`.pem of the shared key `key`.
    void selfSigned(const std::string& name, const std::string& key, const std::string& subject) {
        openssl_.copySharedKey(key + ".pem", name + ".key");
        openssl_.must("req -x509 -key " + name + ".key -out " + name + ".pem -days 1 -subj '" + subject + "'");
    }

    nlohmann::json pairs() { return nlohmann::json::parse(onToken({"list", "--pairs", "--json"}).out); }

    // Signs the data with the key `label` and checks the signature with the
    // public key of openssl's certificate `certificate`.
    void expectSignatureVerifies(const std::string& label, const std::string& certificate) {
        mustRun({"sign", "--label", label, "--in", path("data"), "--out", path("sig")});
        toOpenssl("sig");
        openssl_.must("x509 -in " + certificate + " -pubkey -noout -out signer.pub");
        EXPECT_EQ(openssl_.must("dgst -sha256 -verify signer.pub -signature sig data"), "Verified OK\n") << label;
    }

    // A request of the key `options` make, signed with `signature`, through
    // to its deletion; then a key pair of no request.
    void requestCertifyJoinUseRenameAndDelete(const std::vector<std::string>& options, const std::string& signature,
                                              const std::string& algorithm, const std::string& curve) {

        std::vector<std::string> request = {"request", "--subject", "CN=Alice,O=Example", "--label", "alice"};
        request.insert(request.end(), options.begin(), options.end());
        ProgramResult requested = onToken(with(request, {"--out", path("alice.csr"), "--json"}));
        ASSERT_EQ(requested.status, 0) << requested.err;
        toOpenssl("alice.csr");
        const std::string csr = openssl_.must("req -verify -noout -text -in alice.csr 2>&1");
        EXPECT_NE(csr.find("verify OK"), std::string::npos) << csr;
        EXPECT_NE(csr.find("Signature Algorithm: " + signature + "\n"), std::string::npos) << csr;
        const std::string id = nlohmann::json::parse(requested.out)["id"];
        std::string listed = objects();
        EXPECT_EQ(occurrences(listed, "Private Key Object"), 1u) << listed;
        EXPECT_EQ(occurrences(listed, "Public Key Object"), 1u) << listed;
        EXPECT_EQ(occurrences(listed, "Certificate Object"), 0u) << listed;
        EXPECT_EQ(labelled("alice"), 2u) << listed;
        // A second request of that label is refused and leaves no keys behind.
        ProgramResult twice = onToken(with(request, {"--out", path("twice.csr")}));
        EXPECT_EQ(twice.status, 1) << twice.out;
        EXPECT_EQ(twice.err,
                  "keydb: the label \"alice\" is on the token already (request " + id + "); choose another --label\n");
        EXPECT_EQ(objects(), listed);
        certify(openssl_, path("alice.csr"), "alice", "7");
        EXPECT_EQ(openssl_.field("x509 -in alice.pem -noout -subject -nameopt RFC2253"), "CN=Alice,O=Example");
        // The CA's serial 7 again, for another key, on the token alone: the
        // request's certificate is refused then.
        openssl_.copySharedKey("rsa2048.pem", "other.key");
        openssl_.must("req -new -key other.key -subj /CN=Other -out other.csr");
        openssl_.must("x509 -req -in other.csr -CA ca.pem -CAkey ca.key -set_serial 7 -days 1 -out other.pem");
        mustRun({"import", "--cert", copyOut(openssl_, "other.pem").string()});
        ProgramResult sameSerial = onToken({"import", "--cert", copyOut(openssl_, "alice.pem").string()});
        EXPECT_EQ(sameSerial.err,
                  "keydb: not imported: a certificate with the same issuer and serial number is on the token\n");
        mustRun({"delete", "--label", "Other"});

        ProgramResult imported = onToken({"import", "--cert", copyOut(openssl_, "alice.pem").string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_EQ(fields(imported.out)["Label"], "alice") << imported.out;
        nlohmann::json listedPairs = pairs();
        ASSERT_EQ(listedPairs.size(), 1u) << listedPairs;
        EXPECT_EQ(listedPairs[0]["label"], "alice");
        EXPECT_EQ(listedPairs[0]["id"], id);
        EXPECT_EQ(listedPairs[0]["subject"], "CN=Alice,O=Example");
        EXPECT_EQ(listedPairs[0]["keyAlgorithm"], algorithm);
        EXPECT_EQ(listedPairs[0].value("curve", ""), curve);
        // Its URI names the token, and the pair by its private key's label and id.
        const Pkcs11Uri uri = Pkcs11Uri::parse(listedPairs[0]["uri"].get<std::string>());
        EXPECT_EQ(std::tie(*uri.token, *uri.object, *uri.type, *uri.id),
                  std::make_tuple(token_.label(), std::string("alice"), CKO_PRIVATE_KEY, OpenSSLTool::hexBytes(id)));
        EXPECT_EQ(nlohmann::json::parse(onToken({"list", "--requests", "--json"}).out).size(), 0u);
        listed = objects();
        EXPECT_EQ(occurrences(listed, "Certificate Object"), 1u) << listed;
        EXPECT_EQ(occurrences(listed, "ID:         " + id), 3u) << listed;
        EXPECT_EQ(labelled("alice"), 3u) << listed;
        expectSignatureVerifies("alice", "alice.pem");
        // Other PKCS#11 software finds the pair by that URI: p11tool lists its
        // three objects, and openssl's pkcs11 engine signs with its private key.
        const std::string pairUri = listedPairs[0]["uri"];
        ProgramResult byP11tool = runProgram({"p11tool", "--provider", token_.libraryPath(), "--login",
                                              "--set-pin=" + token_.userPin(), "--list-all",
                                              pairUri.substr(0, pairUri.rfind(";type="))});
        EXPECT_EQ(occurrences(byP11tool.out, "URL: pkcs11:"), 3u) << byP11tool.out << byP11tool.err;
        openssl_.must("dgst -sha256 -engine pkcs11 -keyform engine -sign '" + pairUri +
                      ";pin-value=" + token_.userPin() + "' -out engine.sig data");
        EXPECT_EQ(openssl_.must("dgst -sha256 -verify signer.pub -signature engine.sig data"), "Verified OK\n");

        // The certificate again: refused with its reason, the token unchanged.
        const std::string before = objects();
        ProgramResult again =
            onToken({"import", "--cert", copyOut(openssl_, "alice.pem").string(), "--label", "other"});
        EXPECT_EQ(again.status, 1);
        EXPECT_NE(again.err.find("not imported: the same certificate is on the token"), std::string::npos) << again.err;
        EXPECT_EQ(objects(), before);

        mustRun({"rename", "--id", id, "--to", "alice 2"});
        listedPairs = pairs();
        ASSERT_EQ(listedPairs.size(), 1u);
        EXPECT_EQ(listedPairs[0]["label"], "alice 2");
        EXPECT_EQ(labelled("alice 2"), 3u) << objects();
        pkcs11({"--read-object", "--type", "cert", "--label", "alice 2", "--output-file", path("found.der")});
        toOpenssl("found.der");
        EXPECT_EQ(openssl_.field("x509 -in found.der -inform DER -noout -serial"), "07");
        expectSignatureVerifies("alice 2", "alice.pem");

        ProgramResult deleted = onToken({"delete", "--label", "alice 2"});
        ASSERT_EQ(deleted.status, 0) << deleted.err;
        EXPECT_EQ(fields(deleted.out)["Deleted"], "pair");
        listed = objects();
        EXPECT_EQ(listed.find("Object"), std::string::npos) << listed;

        // A key pair of no request: both keys are renamed and deleted together.
        mustRun(with({"genkey", "--label", "lone"}, options));
        EXPECT_EQ(labelled("lone"), 2u) << objects();
        mustRun({"rename", "--label", "lone", "--to", "lone 2"});
        EXPECT_EQ(labelled("lone 2"), 2u) << objects();
        deleted = onToken({"delete", "--label", "lone 2"});
        EXPECT_EQ(fields(deleted.out)["Deleted"], "key") << deleted.err;
        listed = objects();
        EXPECT_EQ(listed.find("Object"), std::string::npos) << listed;
    }
};

// For an RSA key and an EC key on each curve.
TEST_F(LifecycleTest, RequestIsCertifiedJoinedUsedRenamedAndDeleted) {
    const struct {
        std::vector<std::string> key;
        std::string signature, algorithm, curve;
    } keys[] = {
        {{"--bits", "1024", "--weak"}, "sha256WithRSAEncryption", "RSA", ""},
        {{"--ec", "P-256"}, "ecdsa-with-SHA256", "EC", "P-256"},
        {{"--ec", "P-384"}, "ecdsa-with-SHA256", "EC", "P-384"},
        {{"--ec", "P-521"}, "ecdsa-with-SHA256", "EC", "P-521"},
    };
    for (const auto& key : keys) {
        SCOPED_TRACE(key.curve);
        requestCertifyJoinUseRenameAndDelete(key.key, key.signature, key.algorithm, key.curve);
    }
}

TEST_F(LifecycleTest, ImportedKeySignsAsOpensslAndNeverShows) {
    selfSigned("bob", "rsa2048", "/O=Example/CN=Bob");
    openssl_.must("rsa -in bob.key -traditional -out bob-pkcs1.pem");
    openssl_.must("pkey -in bob.key -aes128 -passout pass:secret -out bob-encrypted.pem");
    openssl_.copySharedKey("rsa1024.pem", "other.key");
    for (const auto& [key, reason] : {std::pair{"bob-encrypted.pem", "holds an encrypted private key"},
                                      std::pair{"other.key", "is not the key of the certificate"}}) {
        ProgramResult refused = onToken({"import", "--cert", copyOut(openssl_, "bob.pem").string(), "--key",
                                         copyOut(openssl_, key).string()});
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(reason), std::string::npos) << refused.err;
    }
    EXPECT_EQ(objects().find("Object"), std::string::npos);
    ProgramResult imported = onToken({"--trace", "import", "--cert", copyOut(openssl_, "bob.pem").string(), "--key",
                                      copyOut(openssl_, "bob-pkcs1.pem").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(fields(imported.out)["Imported"], "pair");
    EXPECT_EQ(fields(imported.out)["Label"], "Bob");
    ASSERT_EQ(pairs().size(), 1u);
    mustRun({"sign", "--label", "Bob", "--in", path("data"), "--out", path("sig")});
    EXPECT_EQ(contents("sig"), openssl_.must("dgst -sha256 -sign bob.key data"));
    EXPECT_EQ(labelled("Bob"), 2u) << objects();
    EXPECT_EQ(occurrences(objects(), "Access:     sensitive\n"), 1u) << objects();
    // Its integers written without a sign byte: p11tool reads a 2048-bit
    // modulus, and the token's RSA-PSS signature verifies.
    ProgramResult key = runProgram({"p11tool", "--provider", token_.libraryPath(), "--login",
                                    "--set-pin=" + token_.userPin(), "--list-privkeys", "pkcs11:object=Bob"});
    EXPECT_NE(key.out.find("Private key (RSA-2048)"), std::string::npos) << key.out << key.err;
    mustRun({"sign", "--label", "Bob", "--pss", "--in", path("data"), "--out", path("pss")});
    toOpenssl("pss");
    openssl_.must("x509 -in bob.pem -pubkey -noout -out bob.pub");
    EXPECT_EQ(openssl_.must("dgst -sha256 -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest -verify bob.pub "
                            "-signature pss data"),
              "Verified OK\n");

    // The pair again, under its label or another: refused, the pair kept.
    const std::string before = objects();
    for (const auto& [label, reason] : {std::pair{"Bob", "the label \"Bob\" is on the token already (pair "},
                                        std::pair{"other", "the same certificate is on the token"}}) {
        ProgramResult again = onToken({"import", "--cert", copyOut(openssl_, "bob.pem").string(), "--key",
                                       copyOut(openssl_, "bob.key").string(), "--label", label});
        EXPECT_EQ(again.status, 1);
        EXPECT_NE(again.err.find(std::string("not imported: ") + reason), std::string::npos) << again.err;
    }
    EXPECT_EQ(objects(), before);

    // No private component, in any form, in the trace or the report.
    std::string components = openssl_.must("asn1parse -in bob-pkcs1.pem");
    std::smatch integer;
    std::vector<std::string> secrets;
    for (auto at = components.cbegin(); std::regex_search(at, components.cend(), integer, std::regex("INTEGER +:([0-9A-F]+)"));
         at = integer.suffix().first)
        secrets.push_back(integer[1]);
    ASSERT_EQ(secrets.size(), 9u) << components;
    ASSERT_FALSE(imported.err.empty());
    for (std::size_t i = 3; i < secrets.size(); ++i) {
        ZEPBuffer bytes = OpenSSLTool::hexBytes(secrets[i]);
        std::ostringstream spaced;
        spaced << ZEPBuffer(16, bytes.getValue() + 8);
        std::string lower = secrets[i].substr(16, 32);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        const std::string raw(reinterpret_cast<const char*>(bytes.getValue()) + 8, 16);
        for (const std::string& form : {secrets[i].substr(16, 32), lower, spaced.str(), raw}) {
            EXPECT_EQ(imported.err.find(form), std::string::npos) << "component " << i;
            EXPECT_EQ(imported.out.find(form), std::string::npos) << "component " << i;
        }
    }
}

// openssl's EC keys in each form keydb reads, imported with their
// certificates: one pair each, named by the certificate's key identifier,
// the key sensitive on the token and signing as the certificate verifies.
TEST_F(LifecycleTest, ImportedEcKeysPairSignAndRefuseAnotherCurve) {
    // The form keydb reads: PKCS#8 PEM, SEC1 PEM, PKCS#8 DER.
    const struct {
        std::string key, form;
    } keys[] = {
        {"ec", "pkey"},
        {"ec384", "ec"},
        {"ec521", "pkey -outform DER"},
    };
    for (const auto& key : keys) {
        selfSigned(key.key, key.key, "/CN=" + key.key);
        openssl_.must(key.form + " -in " + key.key + ".key -out " + key.key + ".in");
        ProgramResult imported = onToken({"import", "--cert", copyOut(openssl_, key.key + ".pem").string(), "--key",
                                          copyOut(openssl_, key.key + ".in").string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_EQ(fields(imported.out)["Id"], subjectKeyId(openssl_, key.key + ".pem")) << key.key;
        EXPECT_EQ(pairs().size(), static_cast<std::size_t>(&key - keys + 1)) << key.key;
        expectSignatureVerifies(key.key, key.key + ".pem");
    }
    EXPECT_EQ(occurrences(objects(), "Access:     sensitive\n"), 3u) << objects();
    const std::string before = objects();
    ProgramResult otherCurve = onToken({"import", "--cert", copyOut(openssl_, "ec384.pem").string(), "--key",
                                        copyOut(openssl_, "ec.key").string(), "--label", "other"});
    EXPECT_EQ(otherCurve.err, "keydb: the key in " + copyOut(openssl_, "ec.key").string() + " is on P-256, the "
                              "certificate's in " + copyOut(openssl_, "ec384.pem").string() + " on P-384\n");
    EXPECT_EQ(objects(), before);
}

TEST_F(LifecycleTest, PairAdoptsWhatPkcs11ToolWrote) {
    selfSigned("carol", "rsa2048", "/O=Example/CN=Carol");
    openssl_.must("pkey -in carol.key -outform DER -out carol.p8");
    openssl_.must("x509 -in carol.pem -outform DER -out carol.der");
    // Another program wrote the key's label as the DER of a UTF8String.
    pkcs11({"--write-object", copyOut(openssl_, "carol.p8").string(), "--type", "privkey", "--id", "0c", "--label",
            "\x0c\x05" "carol"});
    pkcs11({"--write-object", copyOut(openssl_, "carol.der").string(), "--type", "cert", "--id", "0c", "--label",
            "carol"});
    EXPECT_EQ(pairs().size(), 0u);

    ProgramResult paired = onToken({"pair", "--id", "0C"});
    ASSERT_EQ(paired.status, 0) << paired.err;
    nlohmann::json listed = pairs();
    ASSERT_EQ(listed.size(), 1u) << listed;
    EXPECT_EQ(listed[0]["label"], "carol");
    EXPECT_EQ(listed[0]["id"], "0c");
    EXPECT_EQ(listed[0]["subject"], "CN=Carol,O=Example");
    EXPECT_EQ(labelled("carol"), 2u) << objects();
    expectSignatureVerifies("carol", "carol.pem");
}

TEST_F(LifecycleTest, DeleteSubjectAllDeletesThatSubjectOnly) {
    selfSigned("first", "rsa1024", "/O=Example/CN=Dave, Jr.");
    selfSigned("second", "rsa2048", "/O=Example/CN=Dave, Jr.");
    selfSigned("other", "rsa2048", "/O=Example/CN=Dave");
    for (const char* name : {"first", "second", "other"})
        mustRun({"import", "--cert", copyOut(openssl_, std::string(name) + ".pem").string(), "--label", name});
    const std::string dave = "CN=Dave\\, Jr.,O=Example";
    ProgramResult unknown = onToken({"request", "--subject", "CN=Dave,XX=1", "--out", path("bad.csr")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("cannot encode the subject \"CN=Dave,XX=1\""), std::string::npos) << unknown.err;
    mustRun({"request", "--subject", dave, "--bits", "1024", "--weak", "--out", path("dave.csr")});

    ProgramResult deleted = onToken({"delete", "--subject", dave, "--all", "--json"});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(nlohmann::json::parse(deleted.out).size(), 3u) << deleted.out;
    std::string listed = objects();
    EXPECT_EQ(occurrences(listed, "Certificate Object"), 1u) << listed;
    EXPECT_EQ(listed.find("Key Object"), std::string::npos) << listed;
    ProgramResult other = onToken({"show", "--label", "other", "--json"});
    EXPECT_EQ(nlohmann::json::parse(other.out)["subject"], "CN=Dave,O=Example") << other.err;
}

// keydb's own token, made on first use: the same steps work there.
class DefaultTokenLifecycleTest : public KeydbTest {};

TEST_F(DefaultTokenLifecycleTest, RequestImportListDelete) {
    ProgramResult created = keydb({"info"});
    ASSERT_EQ(created.status, 0) << created.err;
    std::smatch pin;
    ASSERT_TRUE(std::regex_search(created.out, pin, std::regex("\nUser PIN: (\\d{8})\n"))) << created.out;
    const std::map<std::string, std::string> loggedIn = {{"KEYDB_PIN", pin[1].str()}};
    const std::filesystem::path csr = dataHome_.path() / "erin.csr";
    ProgramResult requested = keydb(
        {"request", "--subject", "CN=Erin", "--bits", "1024", "--weak", "--label", "erin", "--out", csr.string()},
        loggedIn);
    ASSERT_EQ(requested.status, 0) << requested.err;
    OpenSSLTool openssl;
    makeCA(openssl);
    certify(openssl, csr, "erin", "9");
    ProgramResult imported = keydb({"import", "--cert", copyOut(openssl, "erin.pem").string()}, loggedIn);
    ASSERT_EQ(imported.status, 0) << imported.err;

    nlohmann::json listed = nlohmann::json::parse(keydb({"list", "--json"}, loggedIn).out);
    ASSERT_EQ(listed.size(), 4u) << listed;  // the private and public key, the certificate, the pair
    EXPECT_EQ(listed[3]["kind"], "key-certificate");
    EXPECT_EQ(listed[3]["label"], "erin");
    ASSERT_EQ(keydb({"delete", "--label", "erin"}, loggedIn).status, 0);
    EXPECT_EQ(nlohmann::json::parse(keydb({"list", "--json"}, loggedIn).out).size(), 0u);
}

}  // namespace
