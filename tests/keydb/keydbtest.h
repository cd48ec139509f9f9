// Base of the keydb tests: runs the keydb program with its module found the
// default way and its data folder in a fresh temporary folder, so no test
// touches the user's own default token.
#ifndef KEYDB_TEST_KEYDBTEST_H
#define KEYDB_TEST_KEYDBTEST_H

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "openssltool.h"
#include "programresult.h"
#include "temporaryfolder.h"

class KeydbTest : public ::testing::Test {
protected:
    // `input`, when given, is keydb's standard input (no terminal).
    ProgramResult keydb(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {},
                        const std::optional<std::string>& input = std::nullopt);
    // A program, such as keydb or a shell running it, in keydb's test
    // environment: the module found the default way, the data folder ours.
    Subprocess program(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment);

    std::filesystem::path defaultTokenFolder() const { return dataHome_.path() / "keydb"; }
    // Copies the file `name` of openssl's folder into the data folder.
    std::filesystem::path copyOut(const OpenSSLTool& openssl, const std::string& name) const;

    TemporaryFolder dataHome_{"keydb-data"};
};

// The SHA-1 of the RSA modulus of the certificate or private key `name` in
// openssl's folder, in lower-case hexadecimal.
std::string modulusId(const OpenSSLTool& openssl, const std::string& name);
// The subject key identifier of openssl's certificate `name` (PEM), in
// lower-case hexadecimal.
std::string subjectKeyId(const OpenSSLTool& openssl, const std::string& name);

// A device that refuses every write for lack of space: as root a node made
// in `folder`, so that a fault of keydb's can replace no system file; else
// /dev/full, which others cannot replace.
std::string fullDevice(const std::filesystem::path& folder);

// The "Label: value" lines of keydb's text output.
std::map<std::string, std::string> fields(const std::string& text);

#endif
