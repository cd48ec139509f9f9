#include "certinfocommand.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "asn/x509_certificate.h"
#include "asn/zeppem.h"
#include "keyfacts.h"
#include "output.h"

namespace {

ZEPBuffer fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ZEPBuffer(bytes.size(), bytes.data());
}

}  // namespace

CertInfoCommand::CertInfoCommand(CLI::App& app)
    : Command(app, "cert-info", "Show a certificate file's names, serial number, validity, key and object id") {
    options().add_option("FILE", file_, "Certificate, PEM or DER")->required();
    options().add_flag("--json", json_, "Print one JSON object");
}

void CertInfoCommand::run() {
    x509_certificate certificate;
    ZEPPEM::read(fileBytes(file_), ZEPPEM::LABEL_CERTIFICATE, certificate);
    CertificateFacts facts = CertificateFacts::of(certificate);

    Output output(Output::formatFor(json_));
    output.field("Subject", "subject", facts.subject);
    output.field("Issuer", "issuer", facts.issuer);
    output.field("Serial", "serial", facts.serial);
    output.field("Not before", "notBefore", facts.notBefore);
    output.field("Not after", "notAfter", facts.notAfter);
    output.field("Key algorithm", "keyAlgorithm", facts.key.algorithm);
    output.field("Bits", "bits", static_cast<unsigned long>(facts.key.bits));
    output.field("Id", "id", facts.key.id);
    output.print(std::cout);
}
