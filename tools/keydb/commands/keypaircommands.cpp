#include "commands/keypaircommands.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/certificationrequest.h"
#include "asn/zeppem.h"
#include "choice/tokenitems.h"
#include "commands/takeback.h"
#include "io/keyfacts.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "io/outputfile.h"
#include "io/subjectname.h"
#include "raw/tokenmechanisms.h"

namespace {

// Relabels one key of the pair, found by the label it has.
void relabel(ZEPSlotManager& slot, const ZEPKRYKey& key, const ZEPBuffer& from, const ZEPBuffer& to) {
    if (!slot.updateItem(ZEPKeyItem(key, from), ZEPKeyItem(key, to)))
        throw std::runtime_error("the new key was not found to relabel it");
}

// A key pair generated on the token; both keys are labelled with the id.
ZEPKRYKeyPair generatePair(ZEPSlotManager& slot, const KeySizeChoice& size) {
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
    std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(size.generator(*factory));
    return generator->generateKeyPair();
}

// Refuses a label an object on the token has: no two items share one.
void refuseTakenLabel(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const std::string& label) {
    const std::string taken = TokenItems(slot, diagnostics).labelTaken(label);
    if (!taken.empty()) throw std::runtime_error(taken + "; choose another --label");
}

ZEPBuffer objectIdOf(const ZEPKRYKey& tokenKey) { return ZEPPKCS11ASNKeyRecord(tokenKey.getKeyBlob()).getObjectId(); }

// The token key with the subject in its record, as the token's object has
// it once the request is stored: the record finds the object by CKA_ID and
// CKA_SUBJECT.
ZEPKRYKey withSubject(const ZEPKRYKey& tokenKey, const ZEPBuffer& subjectDER) {
    ZEPPKCS11ASNKeyRecord record(tokenKey.getKeyBlob());
    record.setSubjectName(subjectDER);
    return ZEPKRYKey(tokenKey.getType(), tokenKey.getAlgorithm(), tokenKey.getFormat(), record.getBuffer());
}

void writeRequest(OutputFile& out, bool asDER, const ZEPBuffer& der) {
    if (asDER)
        out.write(der);
    else
        out.write(ZEPPEM::encode(der, ZEPPEM::LABEL_CERTIFICATE_REQUEST));
    out.commit();
}

}  // namespace

GenKeyCommand::GenKeyCommand(CLI::App& app)
    : DatabaseCommand(app, "genkey", "Generate an RSA or EC key pair on the token", 1, Access::write), size_(options()) {
    options().add_option("--label", label_, "Label both keys with this text")->type_name("TEXT");
    options().add_flag("--json", json_, "Print one JSON object");
}

void GenKeyCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    // The label and the key size are checked before the token generates anything.
    const ZEPBuffer to = labelDER(label_);
    if (!label_.empty()) refuseTakenLabel(slot, diagnostics, label_);
    size_.check(TokenMechanisms(cryptokiPath(), slot.getSlotId()));
    ZEPKRYKeyPair pair = generatePair(slot, size_);
    std::string id = lowerHex(objectIdOf(pair.getPrivateKey()));
    std::string label = id;
    if (!label_.empty() && label_ != id) {
        ZEPBuffer from = labelDER(id);
        relabel(slot, pair.getPrivateKey(), from, to);
        relabel(slot, pair.getPublicKey(), from, to);
        label = label_;
    }
    Output output(format());
    output.field("Id", "id", id);
    output.field("Label", "label", label);
    output.field("Bits", "bits", static_cast<unsigned long>(size_.bits()));
    output.print(std::cout);
}

ExportRequestCommand::ExportRequestCommand(CLI::App& app)
    : DatabaseCommand(app, "export-request", "Write a pending request as PKCS#10 signed on the token"),
      key_(options(), uri()),
      digest_(options(), DigestChoice::Md5::refused) {
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
}

void ExportRequestCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    OutputFile out(out_);
    const TokenItems items(slot, diagnostics);
    ZEPKeyCertReqItem request = *key_.one(items, ItemKinds::requests).request;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
    CertificationRequest signedRequest;
    request.getSignedCertificationRequest(signedRequest, *factory,
                                          digest_.scheme(request.getPrivateKeyItem().getKey().getAlgorithm()));
    writeRequest(out, der_, request.getSignedRequestDER());
}

RequestCommand::RequestCommand(CLI::App& app)
    : DatabaseCommand(app, "request", "Generate a key pair on the token for a pending request and write its PKCS#10",
                      1, Access::write),
      size_(options()),
      digest_(options(), DigestChoice::Md5::refused) {
    options().add_option("--subject", subject_, "Subject as RFC 4514 text, such as CN=Alice,O=Example")
        ->required()
        ->type_name("DN");
    options().add_option("--label", label_, "Label of the request (default: the key's id)")->type_name("TEXT");
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
    options().add_flag("--json", json_, "Print one JSON object about the request (needs --out)");
}

void RequestCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    // Everything typed is checked before the token generates anything.
    OutputFile out(out_);
    if (json_ && out.isStandardOutput())
        throw std::runtime_error("--json needs --out: the request goes to standard output");
    ZEPBuffer subject = requestSubjectDER(subject_);
    if (!label_.empty()) {
        labelDER(label_);
        refuseTakenLabel(slot, diagnostics, label_);
    }
    size_.check(TokenMechanisms(cryptokiPath(), slot.getSlotId()));
    const ZEPKRYSignatureScheme scheme = digest_.scheme(size_.keyAlgorithm());
    if (size_.keyAlgorithm() == ZEPKRYKey::ALGORITHM_RSA) digest_.checkKeySize(size_.bits());

    ZEPKRYKeyPair pair = generatePair(slot, size_);
    const std::string id = lowerHex(objectIdOf(pair.getPrivateKey()));
    const std::string label = label_.empty() ? id : label_;
    ZEPKeyCertReqItem request(pair.getPublicKey(), withSubject(pair.getPrivateKey(), subject), subject,
                              labelDER(label));
    try {
        if (!slot.insertItem(request)) throw std::runtime_error("the token did not store the request");
    } catch (...) {
        // No keys nobody asked for stay behind.
        for (const ZEPKRYKey* key : {&pair.getPrivateKey(), &pair.getPublicKey()})
            takeBack(slot, ZEPKeyItem(*key, labelDER(id)));
        throw;
    }
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
    CertificationRequest signedRequest;
    request.getSignedCertificationRequest(signedRequest, *factory, scheme);
    writeRequest(out, der_, request.getSignedRequestDER());
    if (out.isStandardOutput()) return;
    Output output(format());
    output.field("Id", "id", id);
    output.field("Label", "label", label);
    output.field("Subject", "subject", nameText(subject));
    output.field("Bits", "bits", static_cast<unsigned long>(size_.bits()));
    output.print(std::cout);
}
