// Looking items up in the key database by its unique indexes, with the
// objects it does not handle (an EC key, say) counted as no item, and taking
// back what a failed command wrote.
#ifndef KEYDB_ITEMLOOKUP_H
#define KEYDB_ITEMLOOKUP_H

#include <memory>

#include "commands/databasecommand.h"
#include "keystore/zepslotmanager.h"

// A lookup's item; none when the object with the label is of a kind the key
// database does not handle (that object is shown as another object).
template <typename Item, typename Lookup>
std::unique_ptr<Item> lookUp(Lookup lookup) {
    try {
        return std::unique_ptr<Item>(lookup());
    } catch (const ZEPException& failure) {
        if (DatabaseCommand::isUnhandledObject(failure)) return nullptr;
        throw;
    }
}

template <typename Item, typename Index>
std::unique_ptr<Item> findItem(ZEPSlotManager& slot, Index index, const asn_object& value) {
    return lookUp<Item>([&] { return slot.getItem(index, value); });
}

// Before login the pair and request lookups are refused: they concern
// private keys.
template <typename Item, typename Index>
std::unique_ptr<Item> findPrivateItem(ZEPSlotManager& slot, Index index, const asn_object& value) {
    if (slot.isLoginRequired()) return nullptr;
    return findItem<Item>(slot, index, value);
}

// Deletes an item a failed command stored; the command's own failure is the
// one to report, so a failure here is not.
template <typename Item>
void takeBack(ZEPSlotManager& slot, const Item& item) {
    try {
        slot.deleteItem(item);
    } catch (const std::exception&) {
        // The first failure is reported.
    }
}

#endif
