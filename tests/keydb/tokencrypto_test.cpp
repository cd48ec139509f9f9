// keydb genkey, sign, encrypt, decrypt, random, export-request and speed on a
// fresh SoftHSM2 token, checked with openssl against the public keys that
// pkcs11-tool reads back.
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

#include "tokentest.h"

namespace {

class TokenCryptoTest : public TokenTest {
protected:
    // The public key with CKA_ID `id`, as pkcs11-tool reads it, as pub.pem
    // in openssl's folder.
    void readPublicKey(const std::string& id) {
        pkcs11({"--read-object", "--type", "pubkey", "--id", id, "--output-file", path("pub.der")});
        toOpenssl("pub.der");
        openssl_.must("pkey -pubin -inform DER -in pub.der -out pub.pem");
    }

    // openssl's shared key as a private and a public key object with id
    // "b0b" and label "bob"; `subjectFrom` gives both a CKA_SUBJECT.
    void writeOpensslKey(const std::string& subjectFrom = {}) {
        openssl_.copySharedKey("rsa2048.pem", "key.pem");
        openssl_.must("rsa -in key.pem -outform DER -out key.der");
        openssl_.must("rsa -in key.pem -pubout -out pub.pem");
        for (const auto& [file, type] : {std::pair{"key.der", "privkey"}, std::pair{"pub.pem", "pubkey"}}) {
            std::vector<std::string> arguments = {"--write-object", copyOut(openssl_, file).string(), "--type",
                                                  type, "--id", "0b0b", "--label", "bob"};
            if (!subjectFrom.empty())
                arguments.insert(arguments.end(), {"--attr-from", copyOut(openssl_, subjectFrom).string()});
            pkcs11(arguments);
        }
    }
};

TEST_F(TokenCryptoTest, GeneratedKeySignsAsOpensslVerifies) {
    ProgramResult generated = onToken({"genkey", "--bits", "1024", "--label", "alice", "--json"});
    ASSERT_EQ(generated.status, 0) << generated.err;
    nlohmann::json facts = nlohmann::json::parse(generated.out);
    EXPECT_EQ(facts["label"], "alice");
    EXPECT_EQ(facts["bits"], 1024);
    std::string id = facts["id"];
    ASSERT_EQ(id.size(), 40u);
    readPublicKey(id);

    std::ofstream(path("data")) << "signed on the token\n";
    toOpenssl("data");
    for (const auto& [digest, key] : {std::pair{"sha1", std::vector<std::string>{"--label", "alice"}},
                                      std::pair{"md5", std::vector<std::string>{"--id", id}}}) {
        std::vector<std::string> arguments = {"sign", std::string("--") + digest, "--in", path("data"), "--out",
                                              path("sig")};
        arguments.insert(arguments.end(), key.begin(), key.end());
        mustRun(arguments);
        toOpenssl("sig");
        EXPECT_EQ(openssl_.must(std::string("dgst -") + digest + " -verify pub.pem -signature sig data"),
                  "Verified OK\n")
            << digest;
    }
}

TEST_F(TokenCryptoTest, EncryptionAndDecryptionInteroperateWithOpenssl) {
    writeOpensslKey();
    openssl_.writeFile("message", std::string("a secret for the token"));
    openssl_.must("pkeyutl -encrypt -pubin -inkey pub.pem -in message -out by-openssl");
    mustRun({"decrypt", "--label", "bob", "--in", copyOut(openssl_, "by-openssl").string(), "--out", path("plain")});
    EXPECT_EQ(contents("plain"), "a secret for the token");

    mustRun({"encrypt", "--id", "0B0B", "--in", path("plain"), "--out", path("by-keydb")});
    toOpenssl("by-keydb");
    EXPECT_EQ(openssl_.must("pkeyutl -decrypt -inkey key.pem -in by-keydb"), "a secret for the token");
    mustRun({"decrypt", "--id", "0b0b", "--in", path("by-keydb"), "--out", path("again")});
    EXPECT_EQ(contents("again"), "a secret for the token");
}

TEST_F(TokenCryptoTest, SpeedReportsBothRatesAndTheirRatio) {
    writeOpensslKey();
    ProgramResult result = onToken({"speed", "--id", "0b0b", "--seconds", "1", "--threads", "2", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    nlohmann::json rates = nlohmann::json::parse(result.out);
    ASSERT_TRUE(rates["module"].is_number() && rates["raw"].is_number() && rates["ratio"].is_number()) << result.out;
    const double module = rates["module"], raw = rates["raw"];
    EXPECT_GT(module, 0);
    EXPECT_GT(raw, 0);
    EXPECT_DOUBLE_EQ(rates["ratio"].get<double>(), module / raw);
    EXPECT_EQ(rates["threads"], 2);
}

TEST_F(TokenCryptoTest, RandomHexDiffersBetweenRuns) {
    ProgramResult first = onToken({"random", "32", "--hex"});
    ProgramResult second = onToken({"random", "32", "--hex"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(std::regex_match(first.out, std::regex("[0-9a-f]{64}\n"))) << first.out;
    EXPECT_TRUE(std::regex_match(second.out, std::regex("[0-9a-f]{64}\n"))) << second.out;
    EXPECT_NE(first.out, second.out);
}

TEST_F(TokenCryptoTest, ExportedRequestVerifiesWithItsSubject) {
    openssl_.copySharedKey("rsa2048.pem", "key.pem");
    openssl_.must("req -x509 -key key.pem -out subject.pem -days 1 -subj '/O=Example/CN=Bob'");
    openssl_.must("x509 -in subject.pem -outform DER -out subject.der");
    writeOpensslKey("subject.der");
    mustRun({"export-request", "--label", "bob", "--out", path("req.pem")});
    toOpenssl("req.pem");
    int status = -1;
    openssl_.run("req -verify -noout -in req.pem", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(openssl_.field("req -in req.pem -noout -subject -nameopt RFC2253"), "CN=Bob,O=Example");
}

}  // namespace
