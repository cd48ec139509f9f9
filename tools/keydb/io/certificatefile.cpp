#include "io/certificatefile.h"

#include <stdexcept>
#include <string_view>

#include "asn/zeppem.h"
#include "io/derheader.h"
#include "io/inputfile.h"
#include "zepexception.h"

namespace {

// Far more than any certificate: a file beyond it is no certificate.
constexpr std::size_t inputLimit = 4 * 1024 * 1024;

// The PEM labels openssl accepts for a certificate.
constexpr std::string_view trustedLabel = "TRUSTED CERTIFICATE";
constexpr const char* pemLabels[] = {ZEPPEM::LABEL_CERTIFICATE, trustedLabel.data(), "X509 CERTIFICATE"};

// How many PEM blocks with one of openssl's labels the text holds: BEGIN
// lines at the start of a line.
std::size_t pemBlocks(std::string_view text) {
    std::size_t blocks = 0;
    for (const char* label : pemLabels) {
        const std::string begin = std::string("-----BEGIN ") + label + "-----";
        for (std::size_t at = text.find(begin); at != std::string_view::npos; at = text.find(begin, at + 1))
            if (at == 0 || text[at - 1] == '\n') ++blocks;
    }
    return blocks;
}

// The first DER element of `der`: a trusted certificate carries its trust
// settings after the certificate.
ZEPBuffer firstElement(const ZEPBuffer& der) {
    auto header = readDerHeader({reinterpret_cast<const char*>(der.getValue()), der.getLength()});
    if (!header || header->elementLength() >= der.getLength()) return der;
    return ZEPBuffer(header->elementLength(), der.getValue());
}

// The certificate's DER: the input itself when it is DER, else the PEM
// block with one of openssl's labels. Bytes after the certificate are left
// for the decoder to refuse, but for a trusted certificate's trust settings.
ZEPBuffer certificateDER(const ZEPBuffer& input) {
    for (const char* label : pemLabels) {
        try {
            const ZEPBuffer der = ZEPPEM::decode(input, label);
            return label == trustedLabel ? firstElement(der) : der;
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
    if (std::size_t blocks = pemBlocks(bytes); blocks > 1)
        throw std::runtime_error(name + " holds " + std::to_string(blocks) + " certificates; keydb takes one per file");
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
