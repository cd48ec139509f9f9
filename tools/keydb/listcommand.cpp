#include "listcommand.h"

#include <iostream>
#include <memory>

#include "itemdescription.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zepkeyitem.h"

namespace {

using Iterator = ZEPSlotManager::Iterator;

// Describes every item `next` yields from the iterator, one record each.
template <typename Item>
void walk(Output& output, ZEPSlotManager& slot, Iterator* (ZEPSlotManager::*makeIterator)(),
          Item* (ZEPSlotManager::*next)(Iterator&)) {
    std::unique_ptr<Iterator> iterator((slot.*makeIterator)());
    while (std::unique_ptr<Item> item{(slot.*next)(*iterator)}) {
        output.record();
        describeItem(output, *item);
    }
}

}  // namespace

ListCommand::ListCommand(CLI::App& app)
    : DatabaseCommand(app, "list", "List the token's keys, certificates, key+certificate pairs and requests") {
    options().add_flag("--keys", keys_, "Only the keys");
    options().add_flag("--certs", certs_, "Only the certificates");
    options().add_flag("--pairs", pairs_, "Only the key+certificate pairs");
    options().add_flag("--requests", requests_, "Only the certificate requests");
    options().add_flag("--json", json_, "Print one JSON array");
}

void ListCommand::read(ZEPSlotManager& slot) {
    bool all = !(keys_ || certs_ || pairs_ || requests_);
    Output output(format(), Output::Shape::list);
    if (all || keys_) {
        output.heading("Keys:");
        walk(output, slot, &ZEPSlotManager::getKeyIterator, &ZEPSlotManager::getNextKeyItem);
    }
    if (all || certs_) {
        output.heading("Certificates:");
        walk(output, slot, &ZEPSlotManager::getCertIterator, &ZEPSlotManager::getNextCertItem);
    }
    if (all || pairs_) {
        output.heading("Key+certificate pairs:");
        walk(output, slot, &ZEPSlotManager::getKeyCertIterator, &ZEPSlotManager::getNextKeyCertItem);
    }
    if (all || requests_) {
        output.heading("Certificate requests:");
        walk(output, slot, &ZEPSlotManager::getKeyCertReqIterator, &ZEPSlotManager::getNextKeyCertReqItem);
    }
    output.print(std::cout);
}
