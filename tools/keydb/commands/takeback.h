// Taking back what a failed command wrote to the token.
#ifndef KEYDB_TAKEBACK_H
#define KEYDB_TAKEBACK_H

#include <exception>

#include "keystore/zepslotmanager.h"

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
