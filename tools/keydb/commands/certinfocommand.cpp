#include "commands/certinfocommand.h"

#include <iostream>

#include "io/certificatefile.h"
#include "io/output.h"

CertInfoCommand::CertInfoCommand(CLI::App& app)
    : Command(app, "cert-info", "Show a certificate file's names, serial number, validity, key and key id") {
    options().add_option("FILE", file_, "Certificate, PEM or DER; - reads standard input")->required();
    options().add_flag("--json", json_, "Print one JSON object");
}

void CertInfoCommand::run() {
    const CertificateFile certificate(file_);
    const CertificateFacts& facts = certificate.facts();

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
