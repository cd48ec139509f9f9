#include "commands/itemcommands.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/asn_x500name.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "io/itemdescription.h"
#include "io/keyfacts.h"
#include "io/subjectname.h"
#include "keystore/zepcertitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"

namespace {

// The key database's item of a certificate of no pair.
ZEPCertItem certificateOf(const TokenItem& item) {
    const TokenObject& certificate = item.objects.front();
    return ZEPCertItem(certificate.value, certificate.label);
}

// Relabels every object of the item: pairs, certificates and requests
// through the key database, a key's objects (which the key database finds
// by their old label, shared by other keys perhaps) one by one.
void relabel(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const TokenItem& item, const ZEPBuffer& to) {
    bool done = true;
    switch (item.kind) {
        case ItemKind::pair:
            done = slot.updateItem(*item.pair, ZEPKeyCertItem(ZEPKeyItem(item.pair->getKey(), to),
                                                              ZEPCertItem(item.pair->getCertificateDER(), to)));
            break;
        case ItemKind::certificate: {
            const ZEPCertItem certificate = certificateOf(item);
            done = slot.updateItem(certificate, ZEPCertItem(certificate.getCertificateDER(), to));
            break;
        }
        case ItemKind::request:
            done = slot.updateItem(*item.request,
                                   ZEPKeyCertReqItem(item.request->getPublicKeyItem().getKey(),
                                                     item.request->getPrivateKeyItem().getKey(),
                                                     item.request->getSubjectName(), to));
            break;
        case ItemKind::key:
        case ItemKind::other:
            for (const TokenObject& object : item.objects) diagnostics.setObjectLabel(slot, object.handle, to);
    }
    if (!done) throw std::runtime_error("the token did not relabel the " + item.kindName() + " " + lowerHex(item.id));
}

// Deletes every object of the item, as relabel changes them.
void remove(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, const TokenItem& item) {
    bool done = true;
    switch (item.kind) {
        case ItemKind::pair: done = slot.deleteItem(*item.pair); break;
        case ItemKind::certificate: done = slot.deleteItem(certificateOf(item)); break;
        case ItemKind::request: done = slot.deleteItem(*item.request); break;
        case ItemKind::key:
        case ItemKind::other:
            for (const TokenObject& object : item.objects) diagnostics.destroyObject(slot, object.handle);
    }
    if (!done) throw std::runtime_error("the token did not delete the " + item.kindName() + " " + lowerHex(item.id));
}

// Whether the item is a pair, certificate or request of the subject (its
// certificate's or its keys' CKA_SUBJECT).
bool ofSubject(const TokenItem& item, const ZEPBuffer& subjectDER) {
    return item.kind != ItemKind::key && item.kind != ItemKind::other &&
           std::any_of(item.objects.begin(), item.objects.end(),
                       [&](const TokenObject& object) { return object.subject == subjectDER; });
}

// The key id of a key item's private key: of an RSA key its modulus's, of
// an EC key that of its public key object, as an EC private key object
// holds no point; empty when the item has no such object.
std::string keyIdOf(const TokenItem& key, const TokenObject& privateKeyObject) {
    if (privateKeyObject.keyType != CKK_EC) return modulusKeyId(privateKeyObject.modulus);
    return key.publicKey ? PublicKeyFacts::ofDER(key.publicKey->getKey().getKeyBlob()).keyId : "";
}

}  // namespace

RenameCommand::RenameCommand(CLI::App& app)
    : DatabaseCommand(app, "rename", "Relabel a pair, certificate, request or key", 1, Access::write),
      item_(options(), uri(), KeyChoice::Scope::anyItem) {
    options().add_option("--to", to_, "The new label")->required()->type_name("NEW");
    options().add_flag("--json", json_, "Print one JSON object");
}

void RenameCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const ZEPBuffer to = labelDER(to_);
    const TokenItems items(slot, diagnostics);
    const TokenItem& item = item_.one(items, ItemKinds::databaseItems);
    if (item.label == to_) throw std::runtime_error("the " + item.kindName() + " is labelled \"" + to_ + "\"");
    if (std::string taken = items.labelTaken(to_, &item); !taken.empty())
        throw std::runtime_error(taken + "; choose another --to");
    relabel(slot, diagnostics, item, to);
    Output output(format());
    output.field("Renamed", "renamed", item.kindName());
    output.field("Label", "label", to_);
    output.field("Id", "id", lowerHex(item.id));
    output.print(std::cout);
}

DeleteCommand::DeleteCommand(CLI::App& app)
    : DatabaseCommand(app, "delete", "Delete an item, every item of a label, or every item of a subject", 1,
                      Access::write),
      item_(options(), uri(), KeyChoice::Scope::anyItem,
            options().add_option("--subject", subject_, "With --all: the subject, as RFC 4514 text")->type_name("DN")) {
    options().add_flag("--all", all_, "Delete every item of the label (or of --subject), not one");
    options().get_option("--subject")->needs(options().get_option("--all"));
    options().add_flag("--json", json_, "Print one JSON object (with --all, an array)");
}

void DeleteCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const TokenItems items(slot, diagnostics);
    std::vector<const TokenItem*> chosen;
    if (options().get_option("--subject")->count()) {
        asn_x500name name;
        parseSubjectName(subject_, name);
        const ZEPBuffer subject = ZEPASNUtility::getDEREncoding(name);
        for (const TokenItem& item : items.all())
            if (ofSubject(item, subject)) chosen.push_back(&item);
        if (chosen.empty()) throw std::runtime_error("no pair, certificate or request has the subject " + subject_);
    } else {
        if (all_) chosen = item_.matching(items, ItemKinds::any);
        if (chosen.empty()) chosen.push_back(&item_.one(items, ItemKinds::any, "; --all deletes them all"));
    }
    Output output(format(), all_ ? Output::Shape::list : Output::Shape::object);
    for (const TokenItem* item : chosen) {
        remove(slot, diagnostics, *item);
        if (all_) output.record();
        output.field("Deleted", "deleted", item->kindName());
        output.field("Label", "label", item->label);
        output.field("Id", "id", lowerHex(item->id));
    }
    output.print(std::cout);
}

PairCommand::PairCommand(CLI::App& app)
    : DatabaseCommand(app, "pair", "Make a private key and its certificate written by another tool a pair", 1,
                      Access::write),
      key_(options(), uri()) {
    options().add_flag("--json", json_, "Print one JSON object");
}

void PairCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const TokenItems items(slot, diagnostics);
    const TokenItem& key = key_.one(items, {{ItemKind::key}, true, "unpaired private key"});
    const ZEPKeyItem& privateKey = *key.privateKeyItem();
    const ZEPPKCS11ASNKeyRecord record(privateKey.getKey().getKeyBlob());
    const TokenObjects& objects = items.objects();
    const TokenObject* privateKeyObject = objects.find([&](const TokenObject& object) {
        return object.objectClass == CKO_PRIVATE_KEY && object.id == record.getObjectId();
    });
    const TokenObject* certificate = objects.find([&](const TokenObject& object) {
        return object.objectClass == CKO_CERTIFICATE && object.id == record.getObjectId() &&
               object.isKeyDatabaseItem();
    });
    if (!privateKeyObject || !certificate)
        throw std::runtime_error("no certificate has the CKA_ID of the private key " + key_.named());
    const CertificateFacts facts = CertificateFacts::ofDER(certificate->value);
    const std::string keyId = keyIdOf(key, *privateKeyObject);
    // Without its point, an EC key is the certificate's when its curve is.
    const bool ofAnotherKey = keyId.empty()
                                  ? facts.key.algorithm != "EC" || facts.key.bits != record.getKeySize()
                                  : facts.key.keyId != keyId;
    if (ofAnotherKey)
        throw std::runtime_error("the certificate with the CKA_ID of the private key " + key_.named() +
                                 " is of another key");
    x509_certificate decoded;
    ZEPASNUtility::setDEREncoding(certificate->value, decoded);
    const ZEPBuffer subject = ZEPASNUtility::getDEREncoding(decoded.get_subject());

    // Stored as a request of the certificate's subject, the key (and its
    // public key, if the token holds one) takes the subject that ties it to
    // the certificate. The token holds no public key to create for the
    // request, so the token's key record stands for both keys.
    const ZEPBuffer label = labelDER(labelText(certificate->label));
    slot.insertItem(ZEPKeyCertReqItem(privateKey.getKey(), privateKey.getKey(), subject, label));
    Output output(format());
    output.field("Paired", "paired", labelText(label));
    output.field("Id", "id", lowerHex(record.getObjectId()));
    output.field("Subject", "subject", facts.subject);
    output.print(std::cout);
}
