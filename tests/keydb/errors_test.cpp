// keydb's answers to things it cannot do: usage errors, libraries, modules
// and files it cannot use, input it refuses.
#include <fstream>
#include <sstream>

#include "keydbtest.h"

namespace {

class ErrorsTest : public KeydbTest {};

// One line on stderr, starting "keydb: ", nothing on stdout.
void expectOneErrorLine(const ProgramResult& result, const std::string& naming) {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("keydb: ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find(naming), std::string::npos) << result.err;
}

TEST_F(ErrorsTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {"bogus"},
        {"frobnicate", "--json"},
        {"info", "--library"},
        {"info", "--library", ""},
        {"info", "--colour"},
        {"mechanisms", "--slot", "-1"},
        {"mechanisms", "--slot", ""},
        {"mechanisms", "--slot", "18446744073709551616"},
        {"mechanisms", "--slot", "1x"},
        {"init-token", "--label", ""},
        {"init-token", "--label", std::string(33, 'x')},
    };
    for (const auto& arguments : usageErrors) {
        ProgramResult result = keydb(arguments);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(arguments) << result.err;
        EXPECT_EQ(result.out, "") << testing::PrintToString(arguments);
    }
    ProgramResult unknown = keydb({"bogus"});
    EXPECT_NE(unknown.err.find("unknown command \"bogus\""), std::string::npos) << unknown.err;
}

TEST_F(ErrorsTest, HelpAndVersion) {
    ProgramResult help = keydb({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(keydb({"help"}).out, help.out);
    ProgramResult version = keydb({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("keydb ", 0), 0u) << version.out;
    // Each option's names end two blanks before its description's column,
    // or its description starts on the next line.
    for (const std::string command : {"list", "init-pin", "export-cert", "cert-info"}) {
        std::istringstream lines(keydb({command, "--help"}).out);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("  -", 0) != 0 || line.size() <= 30) continue;
            EXPECT_EQ(line.substr(28, 2), "  ") << line;
        }
    }
}

TEST_F(ErrorsTest, LibrariesModulesAndFilesThatCannotBeUsedAreNamedWithTheReason) {
    const std::filesystem::path folder = dataHome_.path();
    const struct {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> environment;
        std::string naming;
    } failures[] = {
        {{"info", "--library", "/nonexistent/libpkcs11.so"}, {},
         "/nonexistent/libpkcs11.so: cannot open shared object file: No such file or directory"},
        {{"info", "--library", NOFUNCTIONLIST_LIBRARY_PATH}, {}, "it exports no C_GetFunctionList"},
        {{"info", "--library", "/nonexistent/libpkcs11.so"}, {{"KEYDB_MODULE", "/nonexistent/libmervil7.so"}},
         "/nonexistent/libmervil7.so: cannot open shared object file: No such file or directory"},
        {{"cert-info", "/nonexistent/cert.pem"}, {}, "/nonexistent/cert.pem: No such file or directory"},
        {{"cert-info", folder.string()}, {}, folder.string() + ": Is a directory"},
    };
    for (const auto& failure : failures) {
        ProgramResult result = keydb(failure.arguments, failure.environment);
        expectOneErrorLine(result, failure.naming);
        EXPECT_EQ(result.err.find("zep_"), std::string::npos) << result.err;
    }
}

TEST_F(ErrorsTest, CertificateErrorsInWords) {
    const struct {
        std::string text;
        std::string naming;
    } files[] = {
        {"no certificate at all\n", "neither DER nor PEM"},
        {"-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n", "holds no valid X.509 certificate: "},
    };
    for (const auto& file : files) {
        std::ofstream(dataHome_.path() / "bad.pem") << file.text;
        expectOneErrorLine(keydb({"cert-info", (dataHome_.path() / "bad.pem").string()}), file.naming);
    }
}

// An endless input ends the run at the limit (reading it whole never would).
TEST_F(ErrorsTest, OversizedInputIsRefusedAtTheLimit) {
    expectOneErrorLine(keydb({"cert-info", "/dev/zero"}), "/dev/zero: it holds more than 4 MiB");
}

TEST_F(ErrorsTest, FailedWritesToStandardOutputFail) {
    OpenSSLTool openssl;
    openssl.must("req -x509 -newkey rsa:1024 -nodes -keyout k.pem -out c.pem -days 1 -subj /CN=c");
    Subprocess full({KEYDB_PROGRAM, "cert-info", copyOut(openssl, "c.pem").string()});
    TemporaryFolder errors("keydb-err");
    EXPECT_EQ(full.standardOutput(fullDevice(errors.path())).standardError(errors.path() / "err").run(), 1);
    EXPECT_EQ(fileText(errors.path() / "err"), "keydb: cannot write to standard output: No space left on device\n");
}

}  // namespace
