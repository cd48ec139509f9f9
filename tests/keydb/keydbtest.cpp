#include "keydbtest.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "zeputility.h"

#include <fstream>
#include <cstdio>
#include <sstream>

#include "kry/zepkryutility.h"

ProgramResult KeydbTest::keydb(std::vector<std::string> arguments,
                               const std::map<std::string, std::string>& environment,
                               const std::optional<std::string>& input) {
    arguments.insert(arguments.begin(), KEYDB_PROGRAM);
    Subprocess process = program(std::move(arguments), environment);
    TemporaryFolder inputFolder("keydb-input");
    if (input) {
        std::ofstream(inputFolder.path() / "in") << *input;
        process.standardInput(inputFolder.path() / "in");
    }
    return capture(process);
}

Subprocess KeydbTest::program(std::vector<std::string> arguments,
                              const std::map<std::string, std::string>& environment) {
    Subprocess process(std::move(arguments));
    process.environment("KEYDB_MODULE", std::nullopt).environment("XDG_DATA_HOME", dataHome_.path().string());
    for (const auto& [name, value] : environment) process.environment(name, value);
    return process;
}

std::string fullDevice(const std::filesystem::path& folder) {
    if (geteuid() != 0) return "/dev/full";
    const std::string node = (folder / "full").string();
    // The numbers of Linux's full device.
    if (mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0) ADD_FAILURE() << "cannot make " << node;
    return node;
}

std::map<std::string, std::string> fields(const std::string& text) {
    std::map<std::string, std::string> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t colon = line.find(": ");
        if (colon != std::string::npos) result[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return result;
}

std::filesystem::path KeydbTest::copyOut(const OpenSSLTool& openssl, const std::string& name) const {
    std::filesystem::path file = dataHome_.path() / name;
    ZEPBuffer bytes = openssl.readFile(name);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.getValue()), static_cast<std::streamsize>(bytes.getLength()));
    return file;
}

std::string modulusId(const OpenSSLTool& openssl, const std::string& name) {
    // A certificate's public key, or a key file as it is.
    int status = 0;
    openssl.run("x509 -in " + name + " -noout", &status);
    const bool certificate = status == 0;
    std::string modulus = openssl.field(certificate ? "x509 -in " + name + " -noout -pubkey | openssl rsa -pubin -noout -modulus"
                                                    : "rsa -in " + name + " -noout -modulus");
    return ZEPUtility::binaryToHexString(ZEPKRYUtility::digestData_SHA1(OpenSSLTool::hexBytes(modulus))).str();
}

std::string subjectKeyId(const OpenSSLTool& openssl, const std::string& name) {
    std::string text = openssl.must("x509 -in " + name + " -noout -ext subjectKeyIdentifier");
    std::string id = std::regex_replace(text.substr(text.find('\n') + 1), std::regex("[^0-9A-F]"), "");
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
    return id;
}
