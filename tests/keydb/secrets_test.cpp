// No PIN reaches keydb's output, its error messages or the module's trace
// records: every command that takes a PIN runs with --trace, the PINs
// given by option, by environment variable and on standard input, and each
// PIN is looked for as text and as the hexadecimal the trace writes bytes
// in.
#include <cstdio>
#include <fstream>

#include "keydbtest.h"
#include "softhsmtoken.h"

namespace {

constexpr const char* userPin = "Pq7#Zx9!";
constexpr const char* soPin = "So5$Wq8!Lm";
constexpr const char* newPin = "Nw3%Rt6&";
constexpr const char* wrongPin = "Wr0ng#Pin!";

// `text` as lower-case hexadecimal with blanks ("50 71"), without, and in
// upper case without.
std::vector<std::string> hexForms(const std::string& text) {
    std::string spaced, lower, upper;
    for (unsigned char c : text) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", c);
        spaced += (spaced.empty() ? "" : " ") + std::string(byte);
        lower += byte;
        std::snprintf(byte, sizeof byte, "%02X", c);
        upper += byte;
    }
    return {spaced, lower, upper};
}

class SecretsTest : public KeydbTest {
protected:
    // keydb --trace COMMAND on the token; fails the test when a PIN shows
    // in what it wrote or its status is not `status`.
    void run(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {},
             int status = 0, const std::optional<std::string>& input = std::nullopt) {
        const std::string command = arguments.front();
        arguments.insert(arguments.begin(), "--trace");
        arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
        ProgramResult result = keydb(arguments, environment, input);
        EXPECT_EQ(result.status, status) << command;
        EXPECT_NE(result.err.find("trace enter"), std::string::npos) << command;
        for (const std::string pin : {userPin, soPin, newPin, wrongPin}) {
            std::vector<std::string> forms = hexForms(pin);
            forms.push_back(pin);
            for (const std::string& form : forms) {
                EXPECT_EQ(result.out.find(form), std::string::npos) << command << " printed " << form;
                EXPECT_EQ(result.err.find(form), std::string::npos) << command << " traced " << form;
            }
        }
    }

    std::string file(const std::string& name) const { return (dataHome_.path() / name).string(); }

    SoftHSMToken token_{"secrets", soPin, userPin};
    OpenSSLTool openssl_;
};

TEST_F(SecretsTest, NoCommandShowsAPinInOutputErrorsOrTrace) {
    std::ofstream(file("data")) << "signed and encrypted\n";
    openssl_.copySharedKey("rsa2048.pem", "key.pem");
    const std::string key = copyOut(openssl_, "key.pem").string();
    openssl_.writeFile("data", std::string("decrypted on the token"));
    openssl_.must("pkeyutl -encrypt -inkey key.pem -in data -out encrypted");
    const std::string encrypted = copyOut(openssl_, "encrypted").string();
    const std::map<std::string, std::string> none;
    // Each database command once with --pin and once with $KEYDB_PIN, on
    // items of its own.
    for (const std::string pass : {"1", "2"}) {
        SCOPED_TRACE(pass == "1" ? "--pin" : "KEYDB_PIN");
        const std::map<std::string, std::string> environment =
            pass == "1" ? none : std::map<std::string, std::string>{{"KEYDB_PIN", userPin}};
        const std::vector<std::string> pin =
            pass == "1" ? std::vector<std::string>{"--pin", userPin} : std::vector<std::string>{};
        auto with = [&](std::vector<std::string> arguments) {
            arguments.insert(arguments.begin() + 1, pin.begin(), pin.end());
            return arguments;
        };
        openssl_.must("req -x509 -key key.pem -days 1 -subj /CN=Imported" + pass + " -out cert" + pass + ".pem");
        const std::string cert = copyOut(openssl_, "cert" + pass + ".pem").string();

        run(with({"genkey", "--bits", "1024", "--weak", "--label", "key" + pass}), environment);
        run(with({"request", "--subject", "CN=Requested" + pass, "--bits", "1024", "--weak", "--label",
                  "request" + pass, "--out", file("request.pem")}),
            environment);
        run(with({"export-request", "--label", "request" + pass, "--out", file("request.pem")}), environment);
        run(with({"sign", "--label", "key" + pass, "--in", file("data"), "--out", file("signature")}), environment);
        // A generated key pair's public key does not encrypt: a failure.
        run(with({"encrypt", "--label", "key" + pass, "--in", file("data"), "--out", file("encrypted")}),
            environment, 1);
        run(with({"random", "16", "--hex"}), environment);
        run(with({"speed", "--label", "key" + pass, "--seconds", "0.05"}), environment);
        run(with({"import", "--cert", cert, "--key", key, "--label", "imported" + pass}), environment);
        run(with({"decrypt", "--label", "imported" + pass, "--in", encrypted, "--out", file("decrypted")}),
            environment);
        run(with({"export-cert", "--label", "imported" + pass, "--out", file("cert.pem")}), environment);
        run(with({"rename", "--label", "imported" + pass, "--to", "renamed" + pass}), environment);
        run(with({"list"}), environment);
        run(with({"show", "--label", "renamed" + pass}), environment);
        // A key with no certificate: pair fails, and says why.
        run(with({"pair", "--label", "key" + pass}), environment, 1);
        run(with({"delete", "--label", "renamed" + pass}), environment);
    }
    // Wrong PINs in failures, and PINs read from standard input.
    run({"list", "--pin", wrongPin}, none, 1);
    run({"sign", "--label", "key1", "--in", file("data")}, {{"KEYDB_PIN", wrongPin}}, 1);

    run({"change-pin", "--new-pin", newPin}, none, 0, std::string(userPin) + "\n");
    run({"change-pin", "--pin", newPin}, none, 0, std::string(userPin) + "\n" + userPin + "\n");
    run({"change-pin", "--pin", userPin, "--new-pin", newPin});
    run({"change-pin"}, {{"KEYDB_PIN", newPin}, {"KEYDB_NEW_PIN", userPin}});
    run({"change-pin", "--pin", wrongPin, "--new-pin", newPin}, none, 1);
    run({"init-pin", "--so-pin", soPin, "--pin", newPin});
    run({"init-pin"}, {{"KEYDB_SO_PIN", soPin}, {"KEYDB_PIN", userPin}});
    run({"init-pin", "--so-pin", wrongPin, "--pin", newPin}, none, 1);
    run({"init-token", "--so-pin", wrongPin, "--label", "secrets"}, none, 1);
    run({"init-token", "--so-pin", soPin, "--label", "secrets"});
    run({"init-token", "--label", "secrets"}, {{"KEYDB_SO_PIN", soPin}});
}

}  // namespace
