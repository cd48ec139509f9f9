// Everything on one token that a command can name (see TokenItem): pairs,
// certificates, requests, keys and other objects, each kind by CKA_ID. The
// key database decides what a pair and a request are; a pair takes the
// objects of its certificate and of its key record (CKA_ID and
// CKA_SUBJECT), a request those of its key record.
#ifndef KEYDB_TOKENITEMS_H
#define KEYDB_TOKENITEMS_H

#include <string>
#include <vector>

#include "choice/tokenitem.h"
#include "keystore/zepslotmanager.h"
#include "session/modulediagnostics.h"
#include "session/tokenobjects.h"

class TokenItems {
public:
    TokenItems(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics);

    const std::vector<TokenItem>& all() const { return items_; }
    const TokenObjects& objects() const { return objects_; }
    // Whether private objects stayed hidden: the token wants a login.
    bool loginRequired() const { return loginRequired_; }
    // Why a new item, or `except` relabelled, cannot take the label: "the
    // label "x" is on the token already (key 01ab)" when an object of
    // another item has it, as labelText shows it; empty when none has.
    std::string labelTaken(const std::string& label, const TokenItem* except = nullptr) const;

private:
    void addPairsAndRequests(ZEPSlotManager& slot);
    void addObjects();
    void addKeyItems(ZEPSlotManager& slot);
    // Moves the unclaimed key database objects that `belongs` into the item.
    template <typename Belongs>
    void claim(TokenItem& item, Belongs belongs);

    TokenObjects objects_;
    bool loginRequired_;
    std::vector<bool> claimed_;
    std::vector<TokenItem> items_;
};

#endif
