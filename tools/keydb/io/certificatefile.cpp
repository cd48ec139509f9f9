#include "io/certificatefile.h"

#include <stdexcept>

#include "asn/zeppem.h"
#include "io/derheader.h"
#include "io/inputfile.h"
#include "zepexception.h"

namespace {

// Far more than any certificate: a file beyond it is no certificate.
constexpr std::size_t inputLimit = 4 * 1024 * 1024;

// The PEM labels openssl accepts for a certificate.
constexpr const char* pemLabels[] = {ZEPPEM::LABEL_CERTIFICATE, "TRUSTED CERTIFICATE", "X509 CERTIFICATE"};

// The first DER element of `der`: a trusted certificate carries its trust
// settings after the certificate.
ZEPBuffer firstElement(const ZEPBuffer& der) {
    auto header = readDerHeader({reinterpret_cast<const char*>(der.getValue()), der.getLength()});
    if (!header || header->elementLength() >= der.getLength()) return der;
    return ZEPBuffer(header->elementLength(), der.getValue());
}

// The certificate's DER: the input itself when it is DER, else the first
// PEM block with one of openssl's labels.
ZEPBuffer certificateDER(const ZEPBuffer& input) {
    for (const char* label : pemLabels) {
        try {
            return firstElement(ZEPPEM::decode(input, label));
        } catch (const ZEPException&) {
            // Not this label; the next may fit.
        }
    }
    throw std::runtime_error("it is neither DER nor PEM with a CERTIFICATE block");
}

}  // namespace

CertificateFile::CertificateFile(const std::string& path) {
    std::string bytes = readInputFile(path, inputLimit);
    const std::string name = path == "-" ? "standard input" : path;
    try {
        der_ = certificateDER(ZEPBuffer(bytes.size(), bytes.data()));
        facts_ = CertificateFacts::ofDER(der_);
    } catch (const ZEPException& failure) {
        throw std::runtime_error(name + " holds no valid X.509 certificate: " + failure.getMessage().str() +
                                 " (error " + std::to_string(failure.getCode()) + ")");
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(name + " holds no certificate: " + failure.what());
    }
}
