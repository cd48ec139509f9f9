#include "commands/importcommand.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/asn_string.h"
#include "asn/issuerandserialnumber.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "io/certificatefile.h"
#include "io/failuretext.h"
#include "io/itemdescription.h"
#include "choice/keychoice.h"
#include "choice/tokenitems.h"
#include "commands/takeback.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "io/privatekeyfile.h"

namespace {

// The module's codes for the duplicates its inserts refuse, from a label
// to an issuer and serial number.
constexpr long firstDuplicate = 577009;
constexpr long lastDuplicate = 577013;

// The last (most specific) common name of the certificate's subject; empty
// when it has none.
std::string commonName(const ZEPBuffer& certificateDER) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificateDER, certificate);
    const asn_x500name& subject = certificate.get_subject();
    std::string name;
    for (std::size_t r = 0; r < subject.size(); ++r)
        for (std::size_t a = 0; a < subject.at(r).size(); ++a) {
            const AttributeTypeAndValue& attribute = subject.at(r).at(a);
            r_buffer_t content = attribute.value.content_view();
            std::string text;
            if (attribute.type.is_equal(ZEPASNOID::VALUE_CommonName, ZEPASNOID::VALUE_CommonName_COUNT) &&
                asn_string::is_string_tag(attribute.value.get_tag()) &&
                asn_string::text_of(attribute.value.get_tag(), content.data, content.len, text) == 0)
                name = text;
        }
    return name;
}

// Whether the key database refused a duplicate.
bool isDuplicate(const ZEPException& failure) {
    return failure.getCode() >= firstDuplicate && failure.getCode() <= lastDuplicate;
}

// The pending request whose public key has this key id; null when none
// has (or private objects are hidden).
const TokenItem* requestOf(const TokenItems& items, const std::string& keyId) {
    for (const TokenItem& item : items.all())
        if (item.request &&
            PublicKeyFacts::ofDER(item.request->getPublicKeyItem().getKey().getKeyBlob()).keyId == keyId)
            return &item;
    return nullptr;
}

// Refuses a label an object on the token has, but for those of `joined`:
// no two items share one. The key database would refuse it only among
// certificates of one subject, or keys of one class.
void refuseTakenLabel(const TokenItems& items, const std::string& label, const TokenItem* joined = nullptr) {
    const std::string taken = items.labelTaken(label, joined);
    if (!taken.empty()) throw std::runtime_error("not imported: " + taken + "; choose another --label");
}

// Refuses a certificate whose issuer and serial number are on the token
// already; joining a request checks for no duplicates of its own.
void refuseKnownIssuerAndSerial(ZEPSlotManager& slot, const ZEPBuffer& certificateDER) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificateDER, certificate);
    IssuerAndSerialNumber issuerAndSerial =
        ZEPASNUtility::getIssuerAndSerialNumber(certificate.get_issuer(), certificate.get_serial_number());
    std::unique_ptr<ZEPCertItem> known(slot.getItem(ZEPSlotManager::CertUniqueIndex::ISSUER_AND_SERIAL, issuerAndSerial));
    if (known)
        throw std::runtime_error("not imported: a certificate with the same issuer and serial number is on the token");
}

// "an RSA key" for no curve, else "on P-256".
std::string keyWords(const std::string& curve) { return curve.empty() ? "an RSA key" : "on " + curve; }

}  // namespace

ImportCommand::ImportCommand(CLI::App& app)
    : DatabaseCommand(app, "import", "Store a certificate, alone, with its private key or for its pending request",
                      1, Access::write) {
    options().add_option("--cert", cert_, "Certificate file, PEM or DER")->required()->type_name("FILE");
    options().add_option("--key", key_, "Its private key, unencrypted PKCS#8, PKCS#1 or EC PRIVATE KEY, PEM or DER")
        ->type_name("FILE");
    options().add_option("--label", label_, "Label (default: the subject's common name)")->type_name("TEXT");
    options().add_flag("--json", json_, "Print one JSON object");
}

void ImportCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const CertificateFile certificate(cert_);
    const PublicKeyFacts& key = certificate.facts().key;
    if (!key.isKeyDatabaseKey())
        throw std::runtime_error("the certificate's key is " + key.algorithm +
                                 (key.curve.empty() ? "" : " on " + key.curve) +
                                 "; the key database holds RSA keys and EC keys on P-256, P-384 and P-521");
    const TokenItems items(slot, diagnostics);
    // A certificate alone joins the pending request of its key, under the
    // request's label unless --label names another.
    const TokenItem* request = key_.empty() ? requestOf(items, key.keyId) : nullptr;
    std::string label = label_;
    if (label.empty() && request) label = request->label;
    if (label.empty()) label = commonName(certificate.der());
    if (label.empty()) label = certificate.facts().subject;
    if (label.empty()) label = key.keyId;
    refuseTakenLabel(items, label, request);

    std::string done;
    try {
        if (!key_.empty())
            done = importPair(slot, certificate, label);
        else if (request)
            done = joinRequest(slot, certificate, *request->request, label);
        else
            done = importCertificate(slot, certificate, label);
    } catch (const ZEPException& failure) {
        if (!isDuplicate(failure)) throw;
        throw std::runtime_error("not imported: " + failureText(failure));
    }
    Output output(format());
    output.field("Imported", "imported", done);
    output.field("Label", "label", label);
    output.field("Id", "id", key.keyId);
    output.field("Subject", "subject", certificate.facts().subject);
    output.print(std::cout);
}

std::string ImportCommand::importPair(ZEPSlotManager& slot, const CertificateFile& certificate,
                                      const std::string& label) {
    const PrivateKeyFile key(key_);
    const std::string certificateCurve = certificate.facts().key.nistCurve();
    if (key.curve() != certificateCurve)
        throw std::runtime_error("the key in " + key_ + " is " + keyWords(key.curve()) + ", the certificate's in " +
                                 cert_ + " " + keyWords(certificateCurve));
    if (key.keyId() != certificate.facts().key.keyId)
        throw std::runtime_error("the key in " + key_ + " is not the key of the certificate in " + cert_);
    const ZEPBuffer labelBytes = labelDER(label);
    const ZEPCertItem certItem(certificate.der(), labelBytes);
    // The certificate goes in first: it must not stay when its key fails.
    // A duplicate is refused before anything is written (a copy of the
    // certificate on the token always is one), so it is never removed.
    try {
        if (!slot.insertItem(ZEPKeyCertItem(ZEPKeyItem(key.key(), labelBytes), certItem)))
            throw std::runtime_error("the token did not store the pair");
    } catch (const ZEPException& failure) {
        if (!isDuplicate(failure)) takeBack(slot, certItem);
        throw;
    } catch (...) {
        takeBack(slot, certItem);
        throw;
    }
    return "pair";
}

std::string ImportCommand::joinRequest(ZEPSlotManager& slot, const CertificateFile& certificate,
                                       const ZEPKeyCertReqItem& request, const std::string& label) {
    refuseKnownIssuerAndSerial(slot, certificate.der());
    slot.updateItem(request, ZEPCertItem(certificate.der(), labelDER(label)));
    return "certificate of pending request, now a pair";
}

std::string ImportCommand::importCertificate(ZEPSlotManager& slot, const CertificateFile& certificate,
                                             const std::string& label) {
    if (!slot.insertItem(ZEPCertItem(certificate.der(), labelDER(label))))
        throw std::runtime_error("the token did not store the certificate");
    return "certificate";
}
