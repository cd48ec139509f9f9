#include "certinfocommand.h"

#include <iostream>
#include <stdexcept>

#include "asn/x509_certificate.h"
#include "asn/zeppem.h"
#include "derheader.h"
#include "inputfile.h"
#include "keyfacts.h"
#include "output.h"
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

CertInfoCommand::CertInfoCommand(CLI::App& app)
    : Command(app, "cert-info", "Show a certificate file's names, serial number, validity, key and key id") {
    options().add_option("FILE", file_, "Certificate, PEM or DER; - reads standard input")->required();
    options().add_flag("--json", json_, "Print one JSON object");
}

void CertInfoCommand::run() {
    std::string bytes = readInputFile(file_, inputLimit);
    const std::string name = file_ == "-" ? "standard input" : file_;
    CertificateFacts facts;
    try {
        facts = CertificateFacts::ofDER(certificateDER(ZEPBuffer(bytes.size(), bytes.data())));
    } catch (const ZEPException& failure) {
        throw std::runtime_error(name + " holds no valid X.509 certificate: " + failure.getMessage().str() +
                                 " (error " + std::to_string(failure.getCode()) + ")");
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(name + " holds no certificate: " + failure.what());
    }

    Output output(Output::formatFor(json_));
    output.field("Subject", "subject", facts.subject);
    output.field("Issuer", "issuer", facts.issuer);
    output.field("Serial", "serial", facts.serial);
    output.field("Not before", "notBefore", facts.notBefore);
    output.field("Not after", "notAfter", facts.notAfter);
    output.field("Key algorithm", "keyAlgorithm", facts.key.algorithm);
    if (!facts.key.curve.empty()) output.field("Curve", "curve", facts.key.curve);
    output.field("Bits", "bits", static_cast<unsigned long>(facts.key.bits));
    if (!facts.key.keyId.empty()) output.field("Key id", "keyId", facts.key.keyId);
    output.print(std::cout);
}
