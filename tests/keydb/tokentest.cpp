#include "tokentest.h"

#include <fstream>
#include <sstream>

ProgramResult TokenTest::onToken(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--library", token_.libraryPath()});
    return keydb(std::move(arguments), {{"KEYDB_PIN", token_.userPin()}});
}

void TokenTest::mustRun(const std::vector<std::string>& arguments) {
    ProgramResult result = onToken(arguments);
    ASSERT_EQ(result.status, 0) << result.err;
}

std::string TokenTest::contents(const std::string& name) const {
    std::ifstream file(path(name), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void TokenTest::toOpenssl(const std::string& name) { openssl_.writeFile(name, contents(name)); }

std::string TokenTest::pkcs11(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--token-label", token_.label(), "--login", "--pin", token_.userPin()});
    ProgramResult result = pkcs11Tool(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
}

void TokenTest::writeObject(const std::string& name, const std::string& type, const std::string& label,
                            const std::string& id, const std::string& subjectFrom) {
    std::vector<std::string> arguments = {"--write-object", copyOut(openssl_, name).string(), "--type", type,
                                          "--label", label};
    if (!id.empty()) arguments.insert(arguments.end(), {"--id", id});
    if (!subjectFrom.empty()) arguments.insert(arguments.end(), {"--attr-from", copyOut(openssl_, subjectFrom).string()});
    pkcs11(arguments);
}
