#include "keypaircommands.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/buffer_t.h"
#include "asn/zeppem.h"
#include "keyfacts.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "outputfile.h"

namespace {

// A label as the key database stores it: the DER of a UTF8String.
ZEPBuffer labelDER(const std::string& label) {
    buffer_t der;
    if (labelValue(label).write(der) != 0) throw std::runtime_error("the label cannot be encoded");
    return der.to_buffer();
}

// Relabels one key of the pair, found by the label it has.
void relabel(ZEPSlotManager& slot, const ZEPKRYKey& key, const ZEPBuffer& from, const ZEPBuffer& to) {
    if (!slot.updateItem(ZEPKeyItem(key, from), ZEPKeyItem(key, to)))
        throw std::runtime_error("the new key was not found to relabel it");
}

}  // namespace

GenKeyCommand::GenKeyCommand(CLI::App& app)
    : DatabaseCommand(app, "genkey", "Generate an RSA key pair on the token", 1, Access::write) {
    options().add_option("--bits", bits_, "Modulus size in bits (default 2048)")->type_name("N");
    options().add_option("--label", label_, "Label both keys with this text")->type_name("TEXT");
    options().add_flag("--json", json_, "Print one JSON object");
}

void GenKeyCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics&) {
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
    std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory->make_RSA_PublicKeyGenAlgorithm(bits_));
    if (!generator) throw std::runtime_error("the module makes no RSA key pairs");
    ZEPKRYKeyPair pair = generator->generateKeyPair();

    std::string id = lowerHex(ZEPPKCS11ASNKeyRecord(pair.getPrivateKey().getKeyBlob()).getObjectId());
    std::string label = id;
    if (!label_.empty() && label_ != id) {
        ZEPBuffer from = labelDER(id);
        ZEPBuffer to = labelDER(label_);
        relabel(slot, pair.getPrivateKey(), from, to);
        relabel(slot, pair.getPublicKey(), from, to);
        label = label_;
    }
    Output output(format());
    output.field("Id", "id", id);
    output.field("Label", "label", label);
    output.field("Bits", "bits", static_cast<unsigned long>(bits_));
    output.print(std::cout);
}

ExportRequestCommand::ExportRequestCommand(CLI::App& app)
    : DatabaseCommand(app, "export-request", "Write a pending request as PKCS#10 signed on the token"),
      key_(options()) {
    options().add_option("--out", out_, "File to write (default: standard output)")->type_name("FILE");
    options().add_flag("--der", der_, "Write DER instead of PEM");
}

void ExportRequestCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    std::unique_ptr<ZEPKeyCertReqItem> request(
        slot.getItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, key_.label(slot, diagnostics)));
    if (!request) throw std::runtime_error("no pending request " + key_.named());
    const ZEPBuffer& der = request->getSignedRequestDER();
    if (der_)
        writeOutputFile(out_, der);
    else
        writeOutputFile(out_, ZEPPEM::encode(der, ZEPPEM::LABEL_CERTIFICATE_REQUEST));
}
