#include "commands/itemcommands.h"

#include <iostream>
#include <memory>
#include <stdexcept>

#include "asn/asn_x500name.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "io/itemdescription.h"
#include "choice/itemlookup.h"
#include "io/keyfacts.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "io/subjectname.h"
#include "session/tokenobjects.h"

namespace {

// The kinds of item, in the order a label is looked up.
constexpr const char* kinds[] = {"pair", "cert", "request", "key"};

std::unique_ptr<ZEPKeyCertItem> pairOf(ZEPSlotManager& slot, const asn_object& label) {
    return findPrivateItem<ZEPKeyCertItem>(slot, ZEPSlotManager::KeyCertUniqueIndex::LABEL, label);
}

std::unique_ptr<ZEPCertItem> certificateOf(ZEPSlotManager& slot, const asn_object& label) {
    return findItem<ZEPCertItem>(slot, ZEPSlotManager::CertUniqueIndex::LABEL, label);
}

std::unique_ptr<ZEPKeyCertReqItem> requestOf(ZEPSlotManager& slot, const asn_object& label) {
    return findPrivateItem<ZEPKeyCertReqItem>(slot, ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, label);
}

std::unique_ptr<ZEPKeyItem> keyOf(ZEPSlotManager& slot, const asn_object& label) {
    return findItem<ZEPKeyItem>(slot, ZEPSlotManager::KeyUniqueIndex::LABEL, label);
}

// Applies `change` to every key with the label (both keys of a key pair
// carry it) until one change does not take; whether any did.
template <typename Change>
bool eachKey(ZEPSlotManager& slot, const asn_object& label, Change change) {
    bool changed = false;
    while (auto key = keyOf(slot, label)) {
        if (!change(*key)) break;
        changed = true;
    }
    return changed;
}

// Relabels the item of the kind; false when there is none.
bool relabel(ZEPSlotManager& slot, const std::string& kind, const asn_object& label, const ZEPBuffer& to) {
    if (kind == "pair") {
        auto pair = pairOf(slot, label);
        return pair && slot.updateItem(*pair, ZEPKeyCertItem(ZEPKeyItem(pair->getKey(), to),
                                                             ZEPCertItem(pair->getCertificateDER(), to)));
    }
    if (kind == "cert") {
        auto certificate = certificateOf(slot, label);
        return certificate && slot.updateItem(*certificate, ZEPCertItem(certificate->getCertificateDER(), to));
    }
    if (kind == "request") {
        auto request = requestOf(slot, label);
        return request && slot.updateItem(*request, ZEPKeyCertReqItem(request->getPublicKeyItem().getKey(),
                                                                       request->getPrivateKeyItem().getKey(),
                                                                       request->getSubjectName(), to));
    }
    return eachKey(slot, label,
                   [&](const ZEPKeyItem& key) { return slot.updateItem(key, ZEPKeyItem(key.getKey(), to)); });
}

// Deletes the item of the kind; false when there is none.
bool remove(ZEPSlotManager& slot, const std::string& kind, const asn_object& label) {
    if (kind == "pair") {
        auto pair = pairOf(slot, label);
        return pair && slot.deleteItem(*pair);
    }
    if (kind == "cert") {
        auto certificate = certificateOf(slot, label);
        return certificate && slot.deleteItem(*certificate);
    }
    if (kind == "request") {
        auto request = requestOf(slot, label);
        return request && slot.deleteItem(*request);
    }
    return eachKey(slot, label, [&](const ZEPKeyItem& key) { return slot.deleteItem(key); });
}

}  // namespace

RenameCommand::RenameCommand(CLI::App& app)
    : DatabaseCommand(app, "rename", "Relabel a pair, certificate, request or key", 1, Access::write),
      item_(options(), KeyChoice::Scope::anyItem) {
    options().add_option("--to", to_, "The new label")->required()->type_name("NEW");
    options().add_flag("--json", json_, "Print one JSON object");
}

void RenameCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    const ZEPBuffer to = labelDER(to_);
    const asn_UTF8String label = item_.label(slot, diagnostics);
    if (ZEPASNUtility::getDEREncoding(label) == to) throw std::runtime_error("the item is labelled \"" + to_ + "\"");
    for (const char* kind : kinds)
        if (relabel(slot, kind, label, to)) {
            Output output(format());
            output.field("Renamed", "renamed", std::string(kind));
            output.field("Label", "label", to_);
            output.print(std::cout);
            return;
        }
    throw std::runtime_error("no item " + item_.named());
}

DeleteCommand::DeleteCommand(CLI::App& app)
    : DatabaseCommand(app, "delete", "Delete an item, or every item of a subject", 1, Access::write),
      item_(options(), KeyChoice::Scope::anyItem,
            options().add_option("--subject", subject_, "With --all: the subject, as RFC 4514 text")->type_name("DN")) {
    CLI::Option* subject = options().get_option("--subject");
    options().add_flag("--all", all_, "Delete every pair, certificate and request of --subject")->needs(subject);
    subject->needs(options().get_option("--all"));
    options()
        .add_option("--kind", kind_, "Only an item of this kind")
        ->check(CLI::IsMember({"key", "cert", "pair", "request"}))
        ->excludes(subject)
        ->type_name("KIND");
    options().add_flag("--json", json_, "Print one JSON object");
}

void DeleteCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    if (all_) return deleteSubject(slot);
    const asn_UTF8String label = item_.label(slot, diagnostics);
    for (const char* kind : kinds)
        if ((kind_.empty() || kind_ == kind) && remove(slot, kind, label)) {
            Output output(format());
            output.field("Deleted", "deleted", std::string(kind));
            output.field("Label", "label", labelText(ZEPASNUtility::getDEREncoding(label)));
            output.print(std::cout);
            return;
        }
    throw std::runtime_error("no " + (kind_.empty() ? std::string("item") : kind_) + " " + item_.named());
}

void DeleteCommand::deleteSubject(ZEPSlotManager& slot) {
    asn_x500name subject;
    parseSubjectName(subject_, subject);
    // Pairs first: deleting a pair's certificate alone would leave its keys.
    unsigned long deleted = slot.deleteItems(ZEPSlotManager::KeyCertMultiIndex::SUBJECT_NAME, subject).deleted;
    deleted += slot.deleteItems(ZEPSlotManager::CertMultiIndex::SUBJECT_NAME, subject).deleted;
    deleted += slot.deleteItems(ZEPSlotManager::KeyCertReqMultiIndex::SUBJECT_NAME, subject).deleted;
    Output output(format());
    output.field("Subject", "subject", nameText(ZEPASNUtility::getDEREncoding(subject)));
    output.field("Deleted", "deleted", deleted);
    output.print(std::cout);
}

PairCommand::PairCommand(CLI::App& app)
    : DatabaseCommand(app, "pair", "Make a private key and its certificate written by another tool a pair", 1,
                      Access::write),
      key_(options()) {
    options().add_flag("--json", json_, "Print one JSON object");
}

void PairCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    std::unique_ptr<ZEPKeyItem> key = key_.privateKey(slot, diagnostics);
    const ZEPPKCS11ASNKeyRecord record(key->getKey().getKeyBlob());
    TokenObjects objects(diagnostics.listObjects(slot));
    const TokenObject* privateKey = objects.find([&](const TokenObject& object) {
        return object.objectClass == CKO_PRIVATE_KEY && object.id == record.getObjectId();
    });
    const TokenObject* certificate = objects.find([&](const TokenObject& object) {
        return object.objectClass == CKO_CERTIFICATE && object.id == record.getObjectId();
    });
    if (!privateKey || !certificate)
        throw std::runtime_error("no certificate has the CKA_ID of the private key " + key_.named());
    const CertificateFacts facts = CertificateFacts::ofDER(certificate->value);
    if (facts.key.keyId != modulusKeyId(privateKey->modulus))
        throw std::runtime_error("the certificate with the CKA_ID of the private key " + key_.named() +
                                 " is of another key");
    x509_certificate decoded;
    ZEPASNUtility::setDEREncoding(certificate->value, decoded);
    const ZEPBuffer subject = ZEPASNUtility::getDEREncoding(decoded.get_subject());
    if (record.getSubjectName() == subject)
        throw std::runtime_error("the private key " + key_.named() + " and its certificate are a pair already");

    // Stored as a request of the certificate's subject, the key (and its
    // public key, if the token holds one) takes the subject that ties it to
    // the certificate. The token holds no public key to create for the
    // request, so the token's key record stands for both keys.
    const ZEPBuffer label = labelDER(labelText(certificate->label));
    slot.insertItem(ZEPKeyCertReqItem(key->getKey(), key->getKey(), subject, label));
    Output output(format());
    output.field("Paired", "paired", labelText(label));
    output.field("Id", "id", lowerHex(record.getObjectId()));
    output.field("Subject", "subject", facts.subject);
    output.print(std::cout);
}
