#include "commands/listcommand.h"

#include <functional>
#include <iostream>
#include <memory>

#include "io/itemdescription.h"
#include "io/keyfacts.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"

namespace {

using Iterator = ZEPSlotManager::Iterator;

// Certificates of keys the key database holds not are shown with the other
// objects.
bool ofKeyDatabaseKey(const ZEPCertItem& item) {
    return CertificateFacts::ofDER(item.getCertificateDER()).key.isKeyDatabaseKey();
}

template <typename Item>
bool ofKeyDatabaseKey(const Item&) {
    return true;
}

// One listing's records: the key database's items, walked with its
// iterators, and the token's other objects.
class Listing {
public:
    Listing(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics, Output& output, const Pkcs11Uri& token)
        : slot_(slot), objects_(diagnostics.listObjects(slot)), output_(output), token_(token) {}

    // Describes every item `next` yields from the iterator, one record each.
    // The key database passes over the objects it makes no item of: they are
    // shown with the other objects.
    template <typename Item>
    void walk(Iterator* (ZEPSlotManager::*makeIterator)(), Item* (ZEPSlotManager::*next)(Iterator&)) {
        std::unique_ptr<Iterator> iterator((slot_.*makeIterator)());
        while (std::unique_ptr<Item> item{(slot_.*next)(*iterator)}) {
            if (!ofKeyDatabaseKey(*item)) continue;
            output_.record();
            describeItem(output_, *item, objects_, token_);
        }
    }

    // The objects the key database does not handle that `fits`.
    void others(const std::function<bool(const TokenObject&)>& fits) {
        for (const TokenObject& object : objects_.others(fits)) {
            output_.record();
            describeObject(output_, object, token_);
        }
    }

private:
    ZEPSlotManager& slot_;
    TokenObjects objects_;
    Output& output_;
    const Pkcs11Uri& token_;
};

}  // namespace

ListCommand::ListCommand(CLI::App& app)
    : DatabaseCommand(app, "list", "List the token's keys, certificates, key+certificate pairs and requests") {
    options().add_flag("--keys", keys_, "Only the keys");
    options().add_flag("--certs", certs_, "Only the certificates");
    options().add_flag("--pairs", pairs_, "Only the key+certificate pairs");
    options().add_flag("--requests", requests_, "Only the certificate requests");
    options().add_flag("--json", json_, "Print one JSON array");
}

void ListCommand::read(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) {
    bool all = !(keys_ || certs_ || pairs_ || requests_);
    Output output(format(), Output::Shape::list);
    Listing listing(slot, diagnostics, output, tokenUri());
    if (all || keys_) {
        output.heading("Keys:");
        listing.walk(&ZEPSlotManager::getKeyIterator, &ZEPSlotManager::getNextKeyItem);
        listing.others([](const TokenObject& object) { return object.isKey(); });
    }
    if (all || certs_) {
        output.heading("Certificates:");
        listing.walk(&ZEPSlotManager::getCertIterator, &ZEPSlotManager::getNextCertItem);
        listing.others([](const TokenObject& object) { return object.objectClass == CKO_CERTIFICATE; });
    }
    if (all || pairs_) {
        output.heading("Key+certificate pairs:");
        listing.walk(&ZEPSlotManager::getKeyCertIterator, &ZEPSlotManager::getNextKeyCertItem);
    }
    if (all || requests_) {
        output.heading("Certificate requests:");
        listing.walk(&ZEPSlotManager::getKeyCertReqIterator, &ZEPSlotManager::getNextKeyCertReqItem);
    }
    if (all) {
        output.heading("Other objects:");
        listing.others(
            [](const TokenObject& object) { return !object.isKey() && object.objectClass != CKO_CERTIFICATE; });
    }
    output.print(std::cout);
}
