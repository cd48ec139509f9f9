#include "openssltool.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

OpenSSLTool::OpenSSLTool() {
    std::string pattern = (std::filesystem::temp_directory_path() / "asn_tests_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    folder_ = pattern;
}

OpenSSLTool::~OpenSSLTool() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string OpenSSLTool::run(const std::string& arguments, int* status) const {
    std::string command = "cd '" + folder_.string() + "' && (openssl " + arguments + ") 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run openssl");
    std::string output;
    char chunk[4096];
    size_t count;
    while ((count = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
    int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return output;
}

std::string OpenSSLTool::must(const std::string& arguments) const {
    int status = 0;
    std::string output = run(arguments, &status);
    if (status != 0) throw std::runtime_error("openssl " + arguments + " failed");
    return output;
}

std::string OpenSSLTool::field(const std::string& arguments) const {
    std::string output = must(arguments);
    size_t equals = output.find('=');
    size_t end = output.find('\n');
    return output.substr(equals + 1, end == std::string::npos ? end : end - equals - 1);
}

namespace {

ZEPBuffer bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw std::runtime_error("cannot read " + path.string());
    return ZEPBuffer(bytes.size(), bytes.data());
}

const std::filesystem::path sharedKeys = MERVIL_TEST_KEYS;

}  // namespace

ZEPBuffer OpenSSLTool::sharedKey(const std::string& key) { return bytesOf(sharedKeys / key); }

void OpenSSLTool::copySharedKey(const std::string& key, const std::string& file) const {
    std::filesystem::copy_file(sharedKeys / key, folder_ / file, std::filesystem::copy_options::overwrite_existing);
}

ZEPBuffer OpenSSLTool::readFile(const std::string& name) const { return bytesOf(folder_ / name); }

void OpenSSLTool::writeFile(const std::string& name, const ZEPBuffer& bytes) const {
    std::ofstream out(folder_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.getValue()), static_cast<std::streamsize>(bytes.getLength()));
}

void OpenSSLTool::writeFile(const std::string& name, const std::string& text) const {
    writeFile(name, ZEPBuffer(text.size(), text.data()));
}

ZEPBuffer OpenSSLTool::hexBytes(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    ZEPBuffer bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        unsigned char byte = static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16));
        bytes.append(1, &byte);
    }
    return bytes;
}
