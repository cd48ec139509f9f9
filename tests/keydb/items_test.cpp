// keydb on a SoftHSM2 token whose items share labels and which holds objects
// the key database cannot read: every command acts on the one item it names,
// refuses anything else with the real cause and then changes nothing, and
// damaged objects hide nothing and can be deleted.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>

#include "cryptoki.h"
#include "tokentest.h"

namespace {

std::string text(const ZEPBuffer& bytes) { return {reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength()}; }

// The records of a listing, each as its JSON text, in no order.
std::multiset<std::string> records(const nlohmann::json& listing) {
    std::multiset<std::string> result;
    for (const auto& record : listing) result.insert(record.dump());
    return result;
}

// How often `text` holds `part`.
std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Two key pairs labelled "work" (ids 0a and 0b); labelled "shared", a pair
// without a public key object (5a, the key of 0a), a key pair (5b, the key
// of 0b) and a certificate of no pair (5c).
class ItemsTest : public TokenTest {
protected:
    void SetUp() override {
        for (const char* key : {"rsa1024", "rsa2048"}) {
            openssl_.copySharedKey(std::string(key) + ".pem", std::string(key) + ".pem");
            openssl_.must(std::string("rsa -in ") + key + ".pem -outform DER -out " + key + ".der");
            openssl_.must(std::string("rsa -in ") + key + ".pem -pubout -out " + key + ".pub");
            openssl_.must(std::string("req -x509 -key ") + key + ".pem -out " + key + ".crt -days 1 -subj /CN=" + key);
        }
        for (const auto& [key, id] : {std::pair{"rsa1024", "0a"}, std::pair{"rsa2048", "0b"}}) {
            writeObject(std::string(key) + ".der", "privkey", "work", id);
            writeObject(std::string(key) + ".pub", "pubkey", "work", id);
        }
        writeObject("rsa1024.crt", "cert", "shared", "5a");
        writeObject("rsa1024.der", "privkey", "shared", "5a", "rsa1024.crt");
        writeObject("rsa2048.der", "privkey", "shared", "5b");
        writeObject("rsa2048.pub", "pubkey", "shared", "5b");
        writeObject("rsa2048.crt", "cert", "shared", "5c");
        std::ofstream(path("data")) << "signed on the token\n";
        toOpenssl("data");
        // A certificate with bytes after its DER.
        openssl_.must("x509 -in rsa1024.crt -outform DER -out broken.der");
        openssl_.writeFile("broken.der", text(openssl_.readFile("broken.der")) + "trailing");
    }

    std::string objects() { return pkcs11({"--list-objects"}); }

    // keydb without a PIN, or with another than the token's.
    ProgramResult withPin(std::vector<std::string> arguments, const std::string& pin) {
        arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
        return keydb(std::move(arguments), {{"KEYDB_PIN", pin}}, "");
    }

    // The signature of the data by keydb's key `key` verifies with openssl's
    // public key `publicKey`.
    void expectSignedBy(std::vector<std::string> key, const std::string& publicKey) {
        key.insert(key.begin(), {"sign", "--in", path("data"), "--out", path("sig")});
        mustRun(key);
        toOpenssl("sig");
        EXPECT_EQ(openssl_.must("dgst -sha256 -verify " + publicKey + " -signature sig data"), "Verified OK\n");
    }

    // SoftHSM2 keeps each object in a file of its own: a generation number,
    // then each attribute as type, kind (2: a number) and value, big-endian.
    // A write interrupted after the file was made leaves only CKA_CLASS.
    void plantClassOnlyObject(CK_OBJECT_CLASS objectClass, const std::string& name) {
        std::filesystem::path tokenFolder = *std::filesystem::directory_iterator(token_.folder() + "/tokens");
        std::ofstream file(tokenFolder / (name + ".object"), std::ios::binary);
        for (unsigned long long number : {1ull, 0ull, 2ull, static_cast<unsigned long long>(objectClass)})
            for (int shift = 56; shift >= 0; shift -= 8) file.put(static_cast<char>(number >> shift));
        std::ofstream(tokenFolder / (name + ".lock"));
    }
};

TEST_F(ItemsTest, CommandsActOnTheOneItemNamedAndRefuseWithTheRealCause) {
    openssl_.must("req -x509 -newkey rsa:1024 -nodes -keyout new.key -out new.pem -days 1 -subj /O=New");
    openssl_.writeFile("two.pem", text(openssl_.readFile("new.pem")) + text(openssl_.readFile("rsa1024.crt")));
    openssl_.must("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:secp256k1 -nodes -keyout k1.key -out ec.crt "
                  "-days 1 -subj /CN=ec");
    // The key database's key pairs do not allow encryption.
    mustRun({"genkey", "--bits", "1024", "--weak", "--label", "generated"});
    const std::string before = objects();
    const std::string work = "2 items labelled \"work\": key 0a and key 0b; name one with --id";
    const std::string sharedTaken = "the label \"shared\" is on the token already (pair 5a, certificate 5c, key 5b)";
    const std::string loginPlease = "give the user PIN with --pin or KEYDB_PIN";
    const struct {
        std::vector<std::string> arguments;
        std::string pin;
        std::string refusal;
    } refusals[] = {
        {{"show", "--label", "work"}, "1234", work + "\n"},
        {{"sign", "--label", "work"}, "1234", work},
        {{"rename", "--label", "work", "--to", "job"}, "1234", work + "\n"},
        {{"delete", "--label", "work"}, "1234", work + "; --all deletes them all"},
        {{"delete", "--subject", "CN=nobody", "--all"}, "1234", "no pair, certificate or request has the subject"},
        {{"export-cert", "--label", "shared"}, "1234",
         "2 items labelled \"shared\": pair 5a and certificate 5c; name one with --id or --kind"},
        {{"decrypt", "--label", "shared"}, "1234", "2 items labelled \"shared\": pair 5a and key 5b; name one with --id"},
        {{"encrypt", "--id", "5a"}, "1234", "the pair with id 5a has no public key object on the token to encrypt with"},
        {{"encrypt", "--label", "generated"}, "1234",
         "the public key labelled \"generated\" is not allowed to encrypt (its CKA_ENCRYPT is false): C_EncryptInit "
         "failed: CKR_KEY_FUNCTION_NOT_PERMITTED (0x68)"},
        {{"export-request", "--label", "work"}, "1234", "no pending request labelled \"work\": they are a key and a key"},
        {{"pair", "--id", "5c"}, "1234", "no unpaired private key with id 5c: it is a certificate"},
        {{"genkey", "--label", "work"}, "1234",
         "the label \"work\" is on the token already (key 0a, key 0b); choose another --label"},
        {{"request", "--subject", "CN=x", "--label", "shared"}, "1234", sharedTaken + "; choose another --label"},
        {{"import", "--cert", path("new.pem"), "--label", "shared"}, "1234",
         "not imported: " + sharedTaken + "; choose another --label"},
        {{"rename", "--id", "0a", "--to", "shared"}, "1234", sharedTaken + "; choose another --to"},
        {{"genkey", "--label", "bad\xff"}, "1234", "the label is no UTF-8 text"},
        {{"import", "--cert", path("two.pem")}, "1234", "two.pem holds 2 certificates; keydb takes one per file"},
        {{"import", "--cert", path("ec.crt")}, "1234", "the certificate's key is EC on secp256k1; the key database holds RSA keys and EC keys on P-256, "
                                                  "P-384 and P-521"},
        {{"sign", "--id", "0a"}, "", "no private key with id 0a is visible before login: " + loginPlease},
        {{"genkey"}, "", "genkey writes to the token, which needs the user's login: " + loginPlease},
        {{"show", "--uri", "pkcs11:object=work"}, "1234", "2 items of the URI: key 0a and key 0b; name one with the "
                                                          "URI's id\n"},
        {{"delete", "--uri", "pkcs11:object=shared;type=private"}, "1234",
         "2 items of the URI: pair 5a and key 5b; name one with the URI's id or --kind; --all deletes them all"},
        {{"sign", "--uri", "pkcs11:id=%5c;type=cert"}, "1234", "no private key of the URI: it is a certificate"},
        {{"list", "--uri", "pkcs11:token=elsewhere"}, "1234", "no token fits the URI"},
        {{"list", "--uri", "pkcs11:token=test?pin-source=" + path("none")}, "", "cannot read the PIN from " +
                                                                                   path("none")},
        {{"list"}, "4321",
         "C_Login failed: CKR_PIN_INCORRECT (0xA0); the token has counted wrong user PINs (CKF_USER_PIN_COUNT_LOW)"},
    };
    for (const char* file : {"new.pem", "two.pem", "broken.der", "ec.crt"}) copyOut(openssl_, file);
    for (const auto& refused : refusals) {
        ProgramResult result = withPin(refused.arguments, refused.pin);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(refused.arguments);
        EXPECT_NE(result.err.find(refused.refusal), std::string::npos) << result.err;
    }
    EXPECT_EQ(keydb({"cert-info", path("broken.der")}).err,
              "keydb: " + path("broken.der") + " holds no valid X.509 certificate: data after the DER element (error "
              "5804)\n");
    EXPECT_EQ(onToken({"list", "--keys"}).err,
              "keydb: warning: the token has counted wrong user PINs (CKF_USER_PIN_COUNT_LOW)\n");
    EXPECT_EQ(objects(), before);

    // --id and --kind pick one; --all takes all.
    expectSignedBy({"--label", "shared", "--id", "5a"}, "rsa1024.pub");
    EXPECT_EQ(fields(onToken({"show", "--label", "shared", "--kind", "pair"}).out)["Kind"], "key-certificate");
    expectSignedBy({"--id", "0B"}, "rsa2048.pub");
    auto renamed = nlohmann::json::parse(onToken({"rename", "--label", "shared", "--kind", "cert", "--to", "c",
                                                  "--json"}).out);
    EXPECT_EQ(renamed, nlohmann::json({{"renamed", "certificate"}, {"label", "c"}, {"id", "5c"}}));
    mustRun({"rename", "--label", "work", "--id", "0b", "--to", "job"});
    EXPECT_EQ(occurrences(objects(), "job"), 2u);
    ProgramResult deleted = onToken({"delete", "--label", "work"});
    EXPECT_EQ(fields(deleted.out)["Id"], "0a") << deleted.err;
    ProgramResult all = onToken({"delete", "--label", "shared", "--all", "--json"});
    EXPECT_EQ(nlohmann::json::parse(all.out),
              nlohmann::json::parse(R"([{"deleted": "pair", "label": "shared", "id": "5a"},
                                        {"deleted": "key", "label": "shared", "id": "5b"}])"));
    const std::string left = objects();
    EXPECT_EQ(occurrences(left, "Object;"), 5u) << left;
    EXPECT_EQ(left.find("work"), std::string::npos) << left;
    EXPECT_EQ(left.find("shared"), std::string::npos) << left;
    // A subject without a common name labels the certificate.
    auto imported = fields(onToken({"import", "--cert", path("new.pem")}).out);
    EXPECT_EQ(imported["Label"], "O=New");
    EXPECT_EQ(imported["Subject"], "O=New");
}

TEST_F(ItemsTest, EachUriListedSelectsItsItemAndTokenUrisTheirToken) {
    const std::string library = "module-path=" + token_.libraryPath();
    for (const auto& item : nlohmann::json::parse(onToken({"list", "--json"}).out)) {
        const std::string uri = item["uri"];
        ProgramResult shown =
            keydb({"show", "--json", "--uri", uri + "?" + library}, {{"KEYDB_PIN", token_.userPin()}});
        ASSERT_EQ(shown.status, 0) << uri << shown.err;
        const auto one = nlohmann::json::parse(shown.out);
        EXPECT_EQ(one["label"], item["label"]) << uri;
        EXPECT_EQ(one["id"], item["id"]) << uri;
    }
    const auto second = nlohmann::json::parse(onToken({"slots", "--json"}).out).at(1);
    // A URI may name an uninitialised token when no initialised one fits.
    mustRun({"init-token", "--uri", "pkcs11:slot-id=" + std::to_string(second["id"].get<unsigned long>()), "--label",
             "second", "--so-pin", token_.soPin()});
    for (const auto& slot : nlohmann::json::parse(onToken({"slots", "--json"}).out)) {
        if (slot["label"] == "") continue;
        // The new token has no user PIN: the public objects are listed.
        const std::string listed = withPin({"list", "--json", "--uri", slot["uri"]}, "").out;
        EXPECT_EQ(nlohmann::json::parse(listed).empty(), slot["label"] == "second") << slot;
    }
    const struct {
        std::vector<std::string> arguments;
        std::string refusal;
    } usageErrors[] = {
        {{"show", "--uri", "pkcs11:object=work;colour=red"}, "--uri: unknown path attribute \"colour\""},
        {{"show", "--uri", "pkcs11:object=w%6"}, "--uri: malformed percent-encoding in object"},
        {{"show", "--uri", "pkcs11:object=work", "--label", "work"}, "--uri: the URI names an item (object, id or "
                                                                     "type): not with --label"},
        {{"list", "--uri", "pkcs11:serial=1", "--token", "test"}, "--uri: the URI names a token: not with --token"},
        {{"list", "--uri", "pkcs11:?pin-value=1", "--pin", "1"}, "--uri: the URI names the user PIN: not with --pin"},
        {{"list", "--uri", "pkcs11:?" + library}, "--uri: the URI names the library (module-path): not with "
                                                  "--library"},
        {{"list", "--uri", "pkcs11:object=work"}, "--uri: the URI names an item (object, id or type), which this "
                                                  "command takes not"},
    };
    for (const auto& refused : usageErrors) {
        ProgramResult result = onToken(refused.arguments);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(refused.arguments);
        EXPECT_EQ(result.err.rfind(refused.refusal, 0), 0u) << result.err;
    }
    ProgramResult several = onToken({"list", "--uri", "pkcs11:model=SoftHSM%20v2"});
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(occurrences(several.err, "(pkcs11:token="), 2u) << several.err;
    EXPECT_NE(several.err.find("keydb: 2 tokens fit the URI: slot "), std::string::npos) << several.err;
}

TEST_F(ItemsTest, DamagedObjectsAreListedAsOtherHideNothingAndCanBeDeleted) {
    const auto items = records(nlohmann::json::parse(onToken({"list", "--json"}).out));
    writeObject("broken.der", "cert", "broken", "0f");
    openssl_.writeFile("notes", std::string("some notes"));
    writeObject("notes", "data", "notes", "");
    plantClassOnlyObject(CKO_CERTIFICATE, "00000000-0000-0000-0000-00000000000c");
    plantClassOnlyObject(CKO_PRIVATE_KEY, "00000000-0000-0000-0000-00000000000d");

    nlohmann::json listed = nlohmann::json::parse(onToken({"list", "--json"}).out);
    std::multiset<std::string> others;
    for (auto item = listed.begin(); item != listed.end();)
        if ((*item)["kind"] == "other") {
            others.insert((*item)["type"].get<std::string>() + "|" + (*item)["label"].get<std::string>() + "|" +
                          item->value("reason", ""));
            item = listed.erase(item);
        } else {
            ++item;
        }
    EXPECT_EQ(records(listed), items) << "every readable item is listed as before";
    EXPECT_EQ(others, (std::multiset<std::string>{
                          "certificate|broken|damaged: CKA_VALUE is no X.509 certificate (data after the DER element)",
                          "certificate||damaged: CKA_VALUE is no X.509 certificate (DER input truncated)",
                          "private-key||damaged: CKA_MODULUS and CKA_PUBLIC_EXPONENT make no RSA public key (bad "
                          "argument for ASN.1 value)",
                          "data|notes|"}));

    // A new certificate of the damaged one's subject.
    openssl_.must("req -x509 -newkey rsa:1024 -nodes -keyout new.key -out new.pem -days 1 -subj /CN=rsa1024");
    for (const std::vector<std::string>& works :
         {std::vector<std::string>{"show", "--id", "5c"}, {"export-cert", "--id", "5c"},
          {"import", "--cert", copyOut(openssl_, "new.pem").string()}, {"delete", "--id", "0a"}})
        EXPECT_EQ(onToken(works).status, 0) << testing::PrintToString(works);
    expectSignedBy({"--id", "0b"}, "rsa2048.pub");
    EXPECT_EQ(withPin({"list"}, "").status, 0);

    EXPECT_EQ(fields(onToken({"show", "--kind", "other", "--label", ""}).out)["Objects"], "certificate, private-key");
    auto broken = fields(onToken({"show", "--kind", "other", "--label", "broken"}).out);
    EXPECT_EQ(broken["Reason"], "damaged: CKA_VALUE is no X.509 certificate (data after the DER element)");
    EXPECT_EQ(broken.count("Objects"), 0u);
    for (const char* label : {"broken", "", "notes"}) mustRun({"delete", "--kind", "other", "--label", label});
    listed = nlohmann::json::parse(onToken({"list", "--json"}).out);
    for (const auto& item : listed) EXPECT_NE(item["kind"], "other") << item;
    EXPECT_EQ(occurrences(objects(), "Object"), 8u);
}

}  // namespace
