// keydb's answers to things it cannot do.
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

TEST_F(ErrorsTest, MissingCryptokiLibrary) {
    expectOneErrorLine(keydb({"info", "--library", "/nonexistent/libpkcs11.so"}), "/nonexistent/libpkcs11.so");
}

TEST_F(ErrorsTest, MissingModule) {
    expectOneErrorLine(keydb({"info", "--library", "/nonexistent/libpkcs11.so"},
                             {{"KEYDB_MODULE", "/nonexistent/libmervil7.so"}}),
                       "/nonexistent/libmervil7.so");
}

TEST_F(ErrorsTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(keydb({}).status, 2);
    EXPECT_EQ(keydb({"frobnicate"}).status, 2);
    EXPECT_EQ(keydb({"info", "--library"}).status, 2);
    EXPECT_EQ(keydb({"info", "--colour"}).status, 2);
    EXPECT_EQ(keydb({"--help"}).status, 0);
}

}  // namespace
