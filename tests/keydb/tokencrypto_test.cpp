// keydb genkey, sign, encrypt, decrypt, random, export-request and speed on a
// fresh SoftHSM2 token, checked with openssl against the public keys that
// pkcs11-tool reads back.
#include <nlohmann/json.hpp>

#include <fstream>
#include <functional>
#include <regex>

#include "tokentest.h"

namespace {

// Each entry of a folder as it is, symlinks not followed: "link to X",
// "folder", or "file MODE: CONTENTS" (the mode in decimal).
std::map<std::string, std::string> entries(const std::filesystem::path& folder) {
    std::map<std::string, std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink())
            result[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            result[name] = "folder";
        else
            result[name] = "file " + std::to_string(int(entry.status().permissions()) & 0777) + ": " +
                           fileText(entry.path());
    }
    return result;
}

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

// Each digest option, and none (SHA-256), with PKCS#1 v1.5 and RSA-PSS.
TEST_F(TokenCryptoTest, GeneratedKeySignsAsOpensslVerifies) {
    ProgramResult generated = onToken({"genkey", "--label", "alice", "--json"});
    ASSERT_EQ(generated.status, 0) << generated.err;
    nlohmann::json facts = nlohmann::json::parse(generated.out);
    EXPECT_EQ(facts["label"], "alice");
    EXPECT_EQ(facts["bits"], 2048);
    std::string id = facts["id"];
    ASSERT_EQ(id.size(), 40u);
    readPublicKey(id);

    std::ofstream(path("data")) << "signed on the token\n";
    toOpenssl("data");
    const struct {
        std::vector<std::string> options;
        std::string verify;
    } signatures[] = {
        {{"--label", "alice"}, "-sha256"},
        {{"--id", id, "--sha224"}, "-sha224"},
        {{"--id", id, "--sha384"}, "-sha384"},
        {{"--id", id, "--sha512"}, "-sha512"},
        {{"--id", id, "--sha1"}, "-sha1"},
        {{"--id", id, "--md5"}, "-md5"},
        {{"--id", id, "--pss"}, "-sha256 -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest"},
        {{"--id", id, "--sha384", "--pss"}, "-sha384 -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest"},
        {{"--id", id, "--pss", "--sha512"}, "-sha512 -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest"},
    };
    for (const auto& signature : signatures) {
        std::vector<std::string> arguments = {"sign", "--in", path("data"), "--out", path("sig")};
        arguments.insert(arguments.end(), signature.options.begin(), signature.options.end());
        mustRun(arguments);
        toOpenssl("sig");
        EXPECT_EQ(openssl_.must("dgst " + signature.verify + " -verify pub.pem -signature sig data"), "Verified OK\n")
            << testing::PrintToString(signature.options);
    }
    // RSA-PSS over SHA-1 or SHA-224, or two digests: usage errors.
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--sha1", "--pss"}, {"--sha224", "--pss"}, {"--md5", "--pss"},
          {"--sha1", "--sha256"}}) {
        std::vector<std::string> arguments = {"sign", "--id", id, "--in", path("data")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        EXPECT_EQ(onToken(arguments).status, 2) << testing::PrintToString(options);
    }
}

// Each curve, over each SHA-2 digest, through the combined mechanism and on
// a token listing only CKM_ECDSA (the keys made before), where the module
// and speed's raw side sign the toolkit's digest; what EC keys cannot do is
// refused.
TEST_F(TokenCryptoTest, GeneratedEcKeysSignAsOpensslVerifies) {
    std::ofstream(path("data")) << "signed on the token\n";
    toOpenssl("data");
    const struct {
        std::string curve, digest;
        bool bare;
        unsigned bits;
    } keys[] = {
        {"P-256", "", false, 256},   {"P-384", "--sha384", false, 384}, {"secp521r1", "--sha512", false, 521},
        {"P-384", "--sha512", true, 384}, {"P-521", "", true, 521},
    };
    for (const auto& key : keys) {
        const std::string label = "ec" + std::to_string(&key - keys);
        ProgramResult generated = onToken({"genkey", "--ec", key.curve, "--label", label, "--json"});
        ASSERT_EQ(generated.status, 0) << generated.err;
        EXPECT_EQ(nlohmann::json::parse(generated.out)["bits"], key.bits);
        // pkcs11-tool reads no P-384 public key; p11tool does.
        openssl_.writeFile(label + ".pub", runProgram({"p11tool", "--provider", token_.libraryPath(), "--login",
                                                       "--set-pin=" + token_.userPin(), "--export-pubkey",
                                                       "pkcs11:object=" + label + ";type=public"})
                                               .out);
    }
    for (const auto& key : keys) {
        if (key.bare && !key.digest.empty()) token_.restrictMechanisms("CKM_ECDSA");
        const std::string label = "ec" + std::to_string(&key - keys);
        std::vector<std::string> sign = {"sign", "--label", label, "--in", path("data"), "--out", path("sig")};
        if (!key.digest.empty()) sign.push_back(key.digest);
        mustRun(sign);
        toOpenssl("sig");
        const std::string digest = key.digest.empty() ? "-sha256" : key.digest.substr(1);
        EXPECT_EQ(openssl_.must("dgst " + digest + " -verify " + label + ".pub -signature sig data"), "Verified OK\n")
            << key.curve << key.digest << key.bare;
        sign[0] = "speed";
        sign.erase(sign.begin() + 3, sign.begin() + 7);
        sign.insert(sign.end(), {"--seconds", "0.05", "--json"});
        ProgramResult speed = onToken(sign);
        ASSERT_EQ(speed.status, 0) << speed.err;
        EXPECT_GT(nlohmann::json::parse(speed.out)["raw"].get<double>(), 0) << speed.out;
    }
    const struct {
        std::vector<std::string> arguments;
        std::string naming;
    } refusals[] = {
        {{"sign", "--sha1"}, "an EC key signs with ECDSA over SHA-256, SHA-384 or SHA-512, not with --sha1"},
        {{"sign", "--md5"}, "not with --md5"},
        {{"sign", "--pss"}, "--pss signs with RSA keys, and the key is an EC key"},
        {{"speed", "--sha224"}, "not with --sha224"},
        {{"encrypt"}, "the key labelled \"ec0\" is an EC key, which only signs: encrypt takes RSA keys"},
        {{"decrypt"}, "is an EC key, which only signs: decrypt takes RSA keys"},
    };
    for (const auto& refusal : refusals) {
        std::vector<std::string> arguments = refusal.arguments;
        arguments.insert(arguments.end(), {"--label", "ec0", "--in", path("data"), "--out", path("out")});
        if (arguments[0] == "speed") arguments.erase(arguments.end() - 4, arguments.end());
        ProgramResult result = onToken(arguments);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(arguments);
        EXPECT_NE(result.err.find(refusal.naming), std::string::npos) << result.err;
    }
    ProgramResult otherCurve = onToken({"genkey", "--ec", "P-192"});
    EXPECT_EQ(otherCurve.status, 2);
    EXPECT_NE(otherCurve.err.find("unknown curve \"P-192\": keydb makes EC keys on P-256, P-384 and P-521"),
              std::string::npos)
        << otherCurve.err;
    EXPECT_EQ(onToken({"genkey", "--ec", "P-256", "--bits", "2048"}).status, 2);
}

// With the longest message a 2048-bit key encrypts.
TEST_F(TokenCryptoTest, EncryptionAndDecryptionInteroperateWithOpenssl) {
    writeOpensslKey();
    const std::string secret = "a secret for the token" + std::string(223, '.');
    openssl_.writeFile("message", secret);
    openssl_.must("pkeyutl -encrypt -pubin -inkey pub.pem -in message -out by-openssl");
    mustRun({"decrypt", "--label", "bob", "--in", copyOut(openssl_, "by-openssl").string(), "--out", path("plain")});
    EXPECT_EQ(contents("plain"), secret);

    mustRun({"encrypt", "--id", "0B0B", "--in", path("plain"), "--out", path("by-keydb")});
    toOpenssl("by-keydb");
    EXPECT_EQ(openssl_.must("pkeyutl -decrypt -inkey key.pem -in by-keydb"), secret);
    mustRun({"decrypt", "--id", "0b0b", "--in", path("by-keydb"), "--out", path("again")});
    EXPECT_EQ(contents("again"), secret);
}

// With each digest option, and on a token without the combined mechanisms,
// where both sides sign the digest under the bare one.
TEST_F(TokenCryptoTest, SpeedReportsBothRatesAndTheirRatio) {
    writeOpensslKey();
    const struct {
        std::string mechanisms;
        std::vector<std::string> options;
        unsigned threads;
    } runs[] = {
        {"", {"--threads", "2"}, 2},
        {"", {"--sha1"}, 1},
        {"CKM_RSA_PKCS,CKM_RSA_PKCS_PSS", {"--sha384", "--pss", "--threads", "2"}, 2},
        {"CKM_RSA_PKCS", {"--md5"}, 1},
    };
    for (const auto& run : runs) {
        if (!run.mechanisms.empty()) token_.restrictMechanisms(run.mechanisms);
        std::vector<std::string> arguments = {"speed", "--id", "0b0b", "--seconds", "0.05", "--json"};
        arguments.insert(arguments.end(), run.options.begin(), run.options.end());
        ProgramResult result = onToken(arguments);
        ASSERT_EQ(result.status, 0) << testing::PrintToString(run.options) << result.err;
        nlohmann::json rates = nlohmann::json::parse(result.out);
        ASSERT_TRUE(rates["module"].is_number() && rates["raw"].is_number() && rates["ratio"].is_number())
            << result.out;
        const double module = rates["module"], raw = rates["raw"];
        EXPECT_GT(module, 0);
        EXPECT_GT(raw, 0);
        EXPECT_DOUBLE_EQ(rates["ratio"].get<double>(), module / raw);
        EXPECT_EQ(rates["threads"], run.threads);
    }
}

// Signed in parts as keydb reads the input, any input signs as openssl
// signs it with the same key: nothing, one byte more than a read block,
// and 200 MB (a sparse file).
TEST_F(TokenCryptoTest, SignaturesOfAnyLengthAreOpensslsOwn) {
    writeOpensslKey();
    std::string block(256 * 1024 + 1, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 % 251);
    std::ofstream(path("block"), std::ios::binary) << block;
    std::ofstream(path("empty")).close();
    std::ofstream(path("large")).close();
    std::filesystem::resize_file(path("large"), std::uintmax_t(200) << 20);
    for (const auto& [name, digest] : {std::pair{"empty", "sha1"}, std::pair{"block", "md5"},
                                       std::pair{"empty", "md5"}, std::pair{"large", "sha1"}}) {
        SCOPED_TRACE(name + std::string(" ") + digest);
        mustRun({"sign", std::string("--") + digest, "--id", "0b0b", "--in", path(name), "--out", path("ours")});
        openssl_.must(std::string("dgst -") + digest + " -sign key.pem -out theirs " + path(name));
        ZEPBuffer theirs = openssl_.readFile("theirs");
        EXPECT_EQ(contents("ours"), std::string(reinterpret_cast<const char*>(theirs.getValue()), theirs.getLength()));
    }
}

// --out puts a new file in the target's place in one step: it never writes
// through a symlink, and a failure leaves everything as it was.
TEST_F(TokenCryptoTest, OutputReplacesTheTargetOrLeavesItAsItWas) {
    writeOpensslKey();
    std::ofstream(path("data")) << "signed\n";
    openssl_.must("dgst -sha256 -sign key.pem -out expected " + path("data"));
    const ZEPBuffer expected = openssl_.readFile("expected");
    // The target's folder holds nothing else.
    const std::filesystem::path folder = dataHome_.path() / "out";
    const std::string target = (folder / "target").string(), victim = (folder / "victim").string();
    auto write = [](const std::string& file, const std::string& text) { std::ofstream(file) << text; };
    const std::string device = fullDevice(dataHome_.path());
    const struct {
        std::string what;
        std::function<void()> prepare;
        std::string out;
        std::string in;
        // Empty when the signature is written.
        std::string failure;
    } runs[] = {
        {"a symlink to a file",
         [&] {
             write(victim, "victim");
             std::filesystem::create_symlink(victim, target);
         },
         target, "data", ""},
        {"a dangling symlink", [&] { std::filesystem::create_symlink(folder / "nowhere", target); }, target, "data",
         ""},
        {"a file of mode 0644",
         [&] {
             write(target, "old");
             std::filesystem::permissions(target, std::filesystem::perms(0644));
         },
         target, "data", ""},
        {"a folder", [&] { std::filesystem::create_directory(target); }, target, "data",
         "keydb: cannot write " + target + ": Is a directory\n"},
        {"a full device", [] {}, device, "data",
         "keydb: cannot write " + device + ": No space left on device\n"},
        {"a failed command", [&] { write(target, "old"); }, target, "nothing",
         "keydb: cannot read " + path("nothing") + ": No such file or directory\n"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        run.prepare();
        std::map<std::string, std::string> before = entries(folder);
        ProgramResult result = onToken({"sign", "--id", "0b0b", "--in", path(run.in), "--out", run.out});
        if (run.failure.empty()) {
            ASSERT_EQ(result.status, 0) << result.err;
            before["target"] = "file " + std::to_string(0600) + ": " +
                               std::string(reinterpret_cast<const char*>(expected.getValue()), expected.getLength());
        } else {
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.err, run.failure);
        }
        EXPECT_EQ(entries(folder), before);
    }
}

TEST_F(TokenCryptoTest, RandomHexDiffersBetweenRuns) {
    EXPECT_EQ(onToken({"random", "200000"}).out.size(), 200000u);
    ProgramResult first = onToken({"random", "32", "--hex"});
    ProgramResult second = onToken({"random", "32", "--hex"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(std::regex_match(first.out, std::regex("[0-9a-f]{64}\n"))) << first.out;
    EXPECT_TRUE(std::regex_match(second.out, std::regex("[0-9a-f]{64}\n"))) << second.out;
    EXPECT_NE(first.out, second.out);
}

// Signed with SHA-256 unless an option says otherwise; openssl names the
// signature's algorithm and checks the signature ("req -verify" exits 0
// whatever the check finds, so its words are read).
TEST_F(TokenCryptoTest, ExportedRequestVerifiesWithItsSubject) {
    openssl_.copySharedKey("rsa2048.pem", "key.pem");
    openssl_.must("req -x509 -key key.pem -out subject.pem -days 1 -subj '/O=Example/CN=Bob'");
    openssl_.must("x509 -in subject.pem -outform DER -out subject.der");
    writeOpensslKey("subject.der");
    const struct {
        std::vector<std::string> options;
        std::string algorithm;
    } requests[] = {
        {{}, "sha256WithRSAEncryption"},
        {{"--sha1"}, "sha1WithRSAEncryption"},
        {{"--sha512"}, "sha512WithRSAEncryption"},
        {{"--sha384", "--pss"}, "rsassaPss"},
    };
    for (const auto& request : requests) {
        std::vector<std::string> arguments = {"export-request", "--label", "bob", "--out", path("req.pem")};
        arguments.insert(arguments.end(), request.options.begin(), request.options.end());
        mustRun(arguments);
        toOpenssl("req.pem");
        const std::string text = openssl_.must("req -verify -noout -text -in req.pem 2>&1");
        EXPECT_NE(text.find("verify OK"), std::string::npos) << text;
        EXPECT_NE(text.find("Signature Algorithm: " + request.algorithm + "\n"), std::string::npos) << text;
    }
    EXPECT_EQ(openssl_.field("req -in req.pem -noout -subject -nameopt RFC2253"), "CN=Bob,O=Example");
    // A changed signature fails the check that is read.
    openssl_.must("req -in req.pem -outform DER -out req.der");
    ZEPBuffer changed = openssl_.readFile("req.der");
    changed.getValue()[changed.getLength() - 1] ^= 1;
    openssl_.writeFile("changed.der", changed);
    EXPECT_EQ(openssl_.run("req -verify -noout -inform DER -in changed.der 2>&1").find("verify OK"), std::string::npos);
}

// What would make an unusable request or key, or input the key cannot
// take, is refused with its reason before the token makes or uses anything.
TEST_F(TokenCryptoTest, RefusalsNameTheReasonAndChangeNothing) {
    writeOpensslKey();
    for (std::size_t length : {36, 246, 255, 257})
        std::ofstream(path(std::to_string(length))) << std::string(length, 'x');
    std::smatch range;
    const std::string mechanisms = pkcs11({"-M"});
    ASSERT_TRUE(std::regex_search(mechanisms, range, std::regex("RSA-PKCS-KEY-PAIR-GEN, keySize=\\{(\\d+),(\\d+)\\}")));
    const std::string largest = range[2].str(), beyond = std::to_string(std::stoul(largest) + 1);
    const struct {
        std::vector<std::string> arguments;
        std::string naming;
    } refusals[] = {
        {{"encrypt", "--id", "0b0b", "--in", path("246")}, "holds more than 245 bytes, the most a 2048-bit key"},
        {{"encrypt", "--id", "0b0b", "--in", path("36")}, "the module signs a 36-byte input with the key instead"},
        {{"decrypt", "--id", "0b0b", "--in", path("257")}, "holds more than 256 bytes"},
        {{"decrypt", "--id", "0b0b", "--in", path("255")}, "holds 255 bytes, not 256"},
        {{"request", "--subject", "CN=#0403414243"}, "the subject's CN is no text"},
        {{"request", "--subject", "CN=#0C0341424344"}, "cannot encode the subject"},
        {{"request", "--subject", "CN=,O=Example"}, "the subject's CN is empty"},
        {{"request", "--subject", "CN=a\tb"}, "the subject's CN holds a control character"},
        {{"request", "--subject", "CN=" + std::string(65, 'a')}, "CN has 65 characters, more than the 64"},
        {{"request", "--subject", "CN=x,C=DEU"}, "C has 3 characters"},
        {{"request", "--subject", "CN=x", "--bits", "0"}, "0-bit RSA keys are broken"},
        {{"request", "--subject", "CN=x", "--bits", "1033", "--weak", "--sha512", "--pss"},
         "SHA-512 with RSA-PSS needs a key of at least 1034 bits, not 1033"},
        {{"request", "--subject", "CN=x", "--out", dataHome_.path().string()}, "Is a directory"},
        {{"genkey", "--bits", "1023", "--weak"}, "1023-bit RSA keys are broken"},
        {{"genkey", "--bits", "2047"}, "2047-bit RSA keys are weak"},
        {{"genkey", "--bits", beyond}, "the token makes RSA keys of " + range[1].str() + " to " + largest + " bits"},
    };
    const std::string objects = pkcs11({"-O"});
    for (const auto& refusal : refusals) {
        ProgramResult result = onToken(refusal.arguments);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(refusal.arguments);
        EXPECT_NE(result.err.find(refusal.naming), std::string::npos) << result.err;
    }
    EXPECT_EQ(pkcs11({"-O"}), objects);

    // At the bounds: 64 characters (one of two bytes), two for C, hexadecimal
    // DER of a string; shown as openssl shows the request's subject.
    const std::string subject = "CN=" + std::string(63, 'a') + "\xC3\xAB,O=#0C03414243,C=DE";
    ProgramResult made = onToken({"request", "--subject", subject, "--bits", "1024", "--weak", "--out", path("req")});
    ASSERT_EQ(made.status, 0) << made.err;
    toOpenssl("req");
    EXPECT_EQ(fields(made.out)["Subject"], openssl_.field("req -in req -noout -subject -nameopt RFC2253,-esc_msb"));
}

}  // namespace
