// A certificate read from a file or standard input, PEM or DER, with the
// facts keydb shows of it.
#ifndef KEYDB_CERTIFICATEFILE_H
#define KEYDB_CERTIFICATEFILE_H

#include <string>

#include "io/keyfacts.h"
#include "zepbuffer.h"

class CertificateFile {
public:
    // Throws std::runtime_error naming the file when it cannot be read,
    // holds no valid X.509 certificate (bytes after it included, but for a
    // TRUSTED CERTIFICATE block's trust settings) or holds several PEM
    // certificates.
    explicit CertificateFile(const std::string& path);

    const ZEPBuffer& der() const { return der_; }
    const CertificateFacts& facts() const { return facts_; }

private:
    ZEPBuffer der_;
    CertificateFacts facts_;
};

#endif
