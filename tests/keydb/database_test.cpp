// keydb list, show and export-cert on a SoftHSM2 token holding a key and a
// certificate made by openssl and written by pkcs11-tool, as people load
// them: CKA_ID is the SHA-1 of the modulus, labels are plain text, the
// private key has no CKA_SUBJECT and there is no public key object, so the
// two form no pair.
#include <nlohmann/json.hpp>

#include <set>

#include "tokentest.h"

namespace {

class DatabaseTest : public TokenTest {
protected:
    void SetUp() override {
        openssl_.copySharedKey("rsa2048.pem", "key.pem");
        openssl_.must("req -x509 -key key.pem -out cert.pem -days 30 -utf8"
                      " -subj '/O=Beispiel/CN=Jürgen' -set_serial 0xC0FFEE");
        openssl_.must("x509 -in cert.pem -outform DER -out cert.der");
        openssl_.must("rsa -in key.pem -outform DER -out key.der");
        id_ = modulusId(openssl_, "cert.pem");
        write("cert.der", "cert", "alice");
        write("key.der", "privkey", "alice");
        write("key.der", "privkey", "bob");
    }

    // The certificate's id unless another is given.
    void write(const std::string& file, const std::string& type, const std::string& label,
               const std::string& id = {}, const std::string& subjectFrom = {}) {
        writeObject(file, type, label, id.empty() ? id_ : id, subjectFrom);
    }

    using TokenTest::onToken;
    ProgramResult onToken(std::vector<std::string> arguments, bool loggedIn) {
        if (loggedIn) return onToken(std::move(arguments));
        arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
        return keydb(std::move(arguments), {}, "");
    }

    nlohmann::json list(bool loggedIn) {
        ProgramResult listed = onToken({"list", "--json"}, loggedIn);
        EXPECT_EQ(listed.status, 0) << listed.err;
        return nlohmann::json::parse(listed.out);
    }

    void expectCertificate(const nlohmann::json& item) {
        EXPECT_EQ(item["kind"], "certificate");
        EXPECT_EQ(item["label"], "alice");
        EXPECT_EQ(item["id"], id_);
        EXPECT_EQ(item["subject"], openssl_.field("x509 -in cert.pem -noout -subject -nameopt RFC2253,-esc_msb"));
        EXPECT_EQ(item["issuer"], item["subject"]);
        EXPECT_EQ(item["serial"], "C0FFEE");
    }

    std::string id_;
};

TEST_F(DatabaseTest, ListsPrivateKeysOnlyAfterLogin) {
    nlohmann::json before = list(false);
    ASSERT_EQ(before.size(), 1u) << before.dump();
    expectCertificate(before[0]);

    nlohmann::json after = list(true);
    ASSERT_EQ(after.size(), 3u) << after.dump();
    std::set<std::string> keyLabels;
    for (int key : {0, 1}) {
        keyLabels.insert(after[key]["label"].get<std::string>());
        EXPECT_EQ(after[key]["kind"], "private-key");
        EXPECT_EQ(after[key]["id"], id_);
        EXPECT_EQ(after[key]["subject"], "");
        EXPECT_EQ(after[key]["bits"], 2048);
    }
    // In the token's order, which SoftHSM2 does not keep.
    EXPECT_EQ(keyLabels, (std::set<std::string>{"alice", "bob"}));
    expectCertificate(after[2]);

    ProgramResult pairs = onToken({"list", "--pairs", "--requests", "--json"}, true);
    EXPECT_EQ(nlohmann::json::parse(pairs.out).size(), 0u) << pairs.out;
    ProgramResult text = onToken({"list", "--certs"}, true);
    EXPECT_EQ(fields(text.out)["Id"], id_);
    EXPECT_EQ(text.out.find("Keys:"), std::string::npos);
}

TEST_F(DatabaseTest, FindsItemsByLabel) {
    ProgramResult alice = onToken({"show", "--label", "alice", "--kind", "cert", "--json"}, true);
    ASSERT_EQ(alice.status, 0) << alice.err;
    expectCertificate(nlohmann::json::parse(alice.out));

    ProgramResult bob = onToken({"show", "--label", "bob"}, true);
    ASSERT_EQ(bob.status, 0) << bob.err;
    EXPECT_EQ(fields(bob.out)["Kind"], "private-key");
    EXPECT_EQ(fields(bob.out)["Id"], id_);

    ProgramResult hidden = onToken({"show", "--label", "bob"}, false);
    EXPECT_EQ(hidden.status, 1);
    EXPECT_EQ(hidden.err, "keydb: no item labelled \"bob\" is visible before login: give the user PIN with --pin or "
                          "KEYDB_PIN\n");
}

TEST_F(DatabaseTest, ExportsTheCertificateAsPemOrDer) {
    std::filesystem::path der = dataHome_.path() / "exported.der";
    ProgramResult exported = onToken({"export-cert", "--label", "alice", "--der", "--out", der.string()}, false);
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(fileText(der), fileText(copyOut(openssl_, "cert.der")));

    ProgramResult pem = onToken({"export-cert", "--label", "alice"}, true);
    ASSERT_EQ(pem.status, 0) << pem.err;
    EXPECT_EQ(pem.out, fileText(copyOut(openssl_, "cert.pem")));

    EXPECT_EQ(onToken({"export-cert", "--label", "bob"}, true).status, 1);
}

TEST_F(DatabaseTest, ObjectsSharingIdAndSubjectAreAPairOrARequest) {
    // The key pair of a second copy of the certificate, with its subject
    // and an id of its own: a pair whose objects all show that id.
    openssl_.must("x509 -in cert.pem -pubkey -noout -out public.pem");
    write("cert.der", "cert", "carol", "c0ffee");
    write("key.der", "privkey", "carol", "c0ffee", "cert.der");
    write("public.pem", "pubkey", "carol", "c0ffee", "cert.der");
    // Another key pair with that subject and no certificate: a request.
    openssl_.copySharedKey("rsa1024.pem", "pending.pem");
    openssl_.must("rsa -in pending.pem -outform DER -out pending.der");
    openssl_.must("rsa -in pending.pem -pubout -out pending-public.pem");
    const std::string pendingId = modulusId(openssl_, "pending.pem");
    write("pending.der", "privkey", "dave", pendingId, "cert.der");
    write("pending-public.pem", "pubkey", "dave", pendingId, "cert.der");

    nlohmann::json listed = nlohmann::json::parse(onToken({"list", "--pairs", "--requests", "--json"}, true).out);
    ASSERT_EQ(listed.size(), 2u) << listed.dump();
    EXPECT_EQ(listed[0]["kind"], "key-certificate");
    EXPECT_EQ(listed[0]["label"], "carol");
    EXPECT_EQ(listed[0]["serial"], "C0FFEE");
    EXPECT_EQ(listed[0]["bits"], 2048);
    EXPECT_EQ(listed[1]["kind"], "request");
    EXPECT_EQ(listed[1]["label"], "dave");
    EXPECT_EQ(listed[1]["id"], pendingId);
    EXPECT_EQ(listed[1]["keyId"], pendingId);

    // Every object of carol's pair, and the pair, show its CKA_ID as id and
    // the SHA-1 of its modulus as keyId.
    std::set<std::string> kinds;
    for (const auto& item : list(true)) {
        if (item["label"] != "carol") continue;
        kinds.insert(item["kind"].get<std::string>());
        EXPECT_EQ(item["id"], "c0ffee") << item.dump();
        EXPECT_EQ(item["keyId"], id_) << item.dump();
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"private-key", "public-key", "certificate", "key-certificate"}));
}

TEST_F(DatabaseTest, EcPairsListBesideRsaItemsAndOtherObjectsAsWhatTheyAre) {
    // An EC key pair pkcs11-tool generated, certified by openssl for its
    // public key, adopted as a pair.
    pkcs11({"--keypairgen", "--key-type", "EC:prime256v1", "--label", "ec", "--id", "e1"});
    pkcs11({"--read-object", "--type", "pubkey", "--id", "e1", "--output-file", path("ec.spki")});
    toOpenssl("ec.spki");
    openssl_.writeFile("ski.ext", std::string("subjectKeyIdentifier=hash\n"));
    openssl_.must("req -new -key key.pem -subj /CN=ec -out ec.csr");
    openssl_.must("x509 -req -in ec.csr -CA cert.pem -CAkey key.pem -force_pubkey ec.spki -keyform DER -set_serial 5 "
                  "-days 1 -extfile ski.ext -out ec.pem");
    openssl_.must("x509 -in ec.pem -outform DER -out ec.der");
    // And an openssl P-384 key without a public key object. A certificate of
    // another key is refused: by the key id where the key has a public key
    // object, by the curve where not.
    openssl_.copySharedKey("ec384.pem", "ec384.pem");
    openssl_.must("pkey -in ec384.pem -outform DER -out ec384.der");
    openssl_.must("req -x509 -key ec384.pem -outform DER -out ec384.crt -days 1 -subj /CN=ec384");
    write("ec384.der", "privkey", "ec384", "e3");
    openssl_.must("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout other.key -outform DER "
                  "-out other.der -days 1 -subj /CN=other");
    for (const auto& [id, label, certificate] :
         {std::tuple{"e1", "ec", "ec.der"}, std::tuple{"e3", "ec384", "ec384.crt"}}) {
        write("other.der", "cert", label, id);
        EXPECT_EQ(onToken({"pair", "--id", id}, true).err, std::string("keydb: the certificate with the CKA_ID of the "
                                                                       "private key with id ") +
                                                               id + " is of another key\n");
        pkcs11({"--delete-object", "--type", "cert", "--id", id});
        write(certificate, "cert", label, id);
        mustRun({"pair", "--id", id});
    }
    // Objects the key database holds not.
    pkcs11({"--keygen", "--key-type", "AES:16", "--label", "aes", "--id", "a1"});
    openssl_.writeFile("data.txt", std::string("some data"));
    writeObject("data.txt", "data", "notes", "");
    openssl_.must("req -x509 -newkey ed25519 -nodes -keyout ed.key -out ed.pem -outform DER -days 1 -subj /CN=ed");
    write("ed.pem", "cert", "ed", "ed");

    nlohmann::json listed = list(true);
    std::multiset<std::string> others, kinds;
    for (const auto& item : listed) {
        kinds.insert(item["kind"].get<std::string>() + " " + item.value("keyAlgorithm", "") + " " +
                     item.value("curve", "") + " " + item["label"].get<std::string>());
        // Every EC item shows the key id, a private key that of its public
        // key object's point; the P-384 private key, which has none, shows
        // none.
        if (item["label"] == "ec") {
            EXPECT_EQ(item["keyId"], subjectKeyId(openssl_, "ec.pem")) << item;
        } else if (item["label"] == "ec384" && item["kind"] == "private-key") {
            EXPECT_EQ(item["keyId"], "") << item;
        }
        if (item["kind"] != "other") continue;
        others.insert(item["type"].get<std::string>() + " " + item.value("keyType", "") + " " +
                      item["label"].get<std::string>() + " " + item["id"].get<std::string>());
    }
    EXPECT_EQ(others, (std::multiset<std::string>{"secret-key AES aes a1", "certificate  ed ed", "data  notes "}))
        << listed.dump();
    EXPECT_EQ(kinds, (std::multiset<std::string>{"private-key RSA  alice", "private-key RSA  bob",
                                                 "private-key EC P-256 ec", "public-key EC P-256 ec", "other   aes",
                                                 "certificate RSA  alice", "certificate EC P-256 ec",
                                                 "other ED25519  ed", "key-certificate EC P-256 ec", "other   notes",
                                                 "private-key EC P-384 ec384", "certificate EC P-384 ec384",
                                                 "key-certificate EC P-384 ec384"}))
        << listed.dump();
    std::map<std::string, std::string> pairs;
    for (const auto& pair : nlohmann::json::parse(onToken({"list", "--pairs", "--json"}, true).out))
        pairs[pair["label"]] = pair["id"].get<std::string>() + " " + std::to_string(pair["bits"].get<int>());
    EXPECT_EQ(pairs, (std::map<std::string, std::string>{{"ec", "e1 256"}, {"ec384", "e3 384"}}));

    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"list"}, {"list", "--keys"}, {"list", "--requests"}, {"show", "--label", "ec"}}) {
        ProgramResult result = onToken(arguments, true);
        EXPECT_EQ(result.status, 0) << testing::PrintToString(arguments) << result.err;
    }
    const std::map<std::string, std::string> shown = fields(onToken({"show", "--label", "ec"}, true).out);
    EXPECT_EQ(std::tie(shown.at("Kind"), shown.at("Key algorithm"), shown.at("Curve")),
              std::make_tuple("key-certificate", "EC", "P-256"));
    EXPECT_EQ(fields(onToken({"show", "--label", "aes"}, true).out)["Key type"], "AES");
}

TEST_F(DatabaseTest, LabelsCannotReachTheTerminalRaw) {
    const std::string label = "a\x1b[31mb\nKind: forged\r\x7f\xc2\x9b\xe9";
    write("cert.der", "cert", label);
    ProgramResult text = onToken({"list", "--certs"}, false);
    ASSERT_EQ(text.status, 0) << text.err;
    for (char c : text.out) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << int(c);
    EXPECT_NE(text.out.find("\nLabel: a\\x1B[31mb\\x0AKind: forged\\x0D\\x7F\\xC2\\x9B\\xE9\n"), std::string::npos)
        << text.out;

    ProgramResult json = onToken({"list", "--certs", "--json"}, false);
    ASSERT_EQ(json.status, 0) << json.err;
    std::set<std::string> labels;
    for (const auto& item : nlohmann::json::parse(json.out)) labels.insert(item["label"].get<std::string>());
    EXPECT_EQ(labels, (std::set<std::string>{"alice", "a\x1b[31mb\nKind: forged\r\x7f\xc2\x9b\\xE9"}));
}

}  // namespace
