// Runs the openssl command in a private temporary folder, for tests that
// compare the ASN.1 classes with what openssl makes and reports.
#ifndef MERVIL_TESTS_OPENSSLTOOL_H
#define MERVIL_TESTS_OPENSSLTOOL_H

#include <filesystem>
#include <string>

#include "zepbuffer.h"

class OpenSSLTool {
public:
    OpenSSLTool();
    ~OpenSSLTool();
    OpenSSLTool(const OpenSSLTool&) = delete;
    OpenSSLTool& operator=(const OpenSSLTool&) = delete;

    // Runs "openssl <arguments>" in the folder; stderr is discarded. The
    // exit status goes to `status` and the standard output is returned.
    std::string run(const std::string& arguments, int* status = nullptr) const;
    // Runs and fails the calling test (by an exception) on a non-zero exit.
    std::string must(const std::string& arguments) const;
    // "name=value\n" output with the "name=" and the newline removed.
    std::string field(const std::string& arguments) const;
    // The bytes of hexadecimal text such as openssl prints ("c301", "C3:01").
    static ZEPBuffer hexBytes(const std::string& text);

    // A file of the keys that the build made once for all tests: rsa1024,
    // rsa2048, rsa4096, ec (P-256), ec384 and ec521, each as .pem (PKCS#8
    // PEM), .spki (DER SubjectPublicKeyInfo) and .p8 (DER PKCS#8).
    static ZEPBuffer sharedKey(const std::string& key);
    // Copies such a file into the folder as `file`.
    void copySharedKey(const std::string& key, const std::string& file) const;

    ZEPBuffer readFile(const std::string& name) const;
    void writeFile(const std::string& name, const ZEPBuffer& bytes) const;
    void writeFile(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path folder_;
};

#endif
