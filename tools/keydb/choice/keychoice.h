// The item a command works with, named by --label TEXT, by --id HEX (its
// CKA_ID, as keydb list shows it) or by both, or by the object, id and type
// attributes of --uri (an item fits a type when it holds an object of that
// class); commands that take items of any kind also have --kind KIND. A command acts on exactly one item of the
// kinds it takes: a name that fits none or several is refused with the real
// cause (nothing of that name, an item of another kind, private objects
// hidden before login, or the candidates' kinds and ids).
#ifndef KEYDB_KEYCHOICE_H
#define KEYDB_KEYCHOICE_H

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "asn/asn_string.h"
#include "choice/tokenitems.h"
#include "choice/urioption.h"
#include "keystore/zepslotmanager.h"
#include "session/modulediagnostics.h"

class ZEPKeyItem;
class ZEPKRYKey;

// The items a command takes, and what it calls them in its refusals.
struct ItemKinds {
    std::vector<ItemKind> kinds;
    // A key without its private key object is no key for the command.
    bool needsPrivateKey = false;
    // "item", "private key": what the command looks for.
    std::string noun;

    bool takes(const TokenItem& item) const;

    static const ItemKinds any;
    // Pairs, certificates, requests and keys: what the key database changes.
    static const ItemKinds databaseItems;
    // Pairs, requests and keys with their private key.
    static const ItemKinds privateKeys;
    static const ItemKinds certificates;
    static const ItemKinds requests;
};

class KeyChoice {
public:
    enum class Scope { privateKey, anyItem };

    // `alternative`, when given, is an option that names what the command
    // works with in another way: then either it or --label and --id (or the
    // URI's item) are needed, not both. The scope words the options' help;
    // a choice of any item has --kind.
    KeyChoice(CLI::App& command, UriOption& uri, Scope scope = Scope::privateKey, CLI::Option* alternative = nullptr);
    KeyChoice(const KeyChoice&) = delete;
    KeyChoice& operator=(const KeyChoice&) = delete;

    // The items of `kinds` the options name.
    std::vector<const TokenItem*> matching(const TokenItems& items, const ItemKinds& kinds) const;
    // The one item of `kinds` the options name; throws std::runtime_error
    // saying why there is none, or listing the several there are
    // (`orElse` is added to that message).
    const TokenItem& one(const TokenItems& items, const ItemKinds& kinds, const std::string& orElse = "") const;
    // The private key item of the one pair, request or key named.
    std::unique_ptr<ZEPKeyItem> privateKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const;
    // The key record of that private key as a public key: it names the
    // public key object of its CKA_ID. Throws std::runtime_error when the
    // token holds no such object, and as requireRSA for an EC key.
    ZEPKRYKey publicKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const;
    // Throws std::runtime_error when `key` is an EC key, which only signs:
    // `use` ("encrypt", "decrypt") takes RSA keys.
    void requireRSA(const ZEPKRYKey& key, const std::string& use) const;
    // "labelled "x"", "with id ab12" or both, or "of the URI", for messages.
    std::string named() const;

private:
    // Whether the item has each attribute the URI's object, id and type ask.
    bool fitsUri(const TokenItem& item) const;
    // The items the options name, of whatever kind.
    std::vector<const TokenItem*> withName(const TokenItems& items) const;
    // `kinds`, narrowed to the one --kind names.
    ItemKinds narrowed(const ItemKinds& kinds) const;
    // How to tell the several candidates apart: the options not given yet,
    // --kind only when their kinds differ.
    std::string hint(const std::vector<const TokenItem*>& candidates) const;

    std::string label_;
    std::string id_;
    std::string kind_;
    CLI::Option* labelOption_;
    CLI::Option* idOption_;
    CLI::Option* kindOption_ = nullptr;
    const UriOption& uri_;
};

// The lookup value of a label; throws std::runtime_error when the label is
// no UTF-8 text.
asn_UTF8String labelValue(const std::string& label);
// A label as the key database stores it: the DER of a UTF8String.
ZEPBuffer labelDER(const std::string& label);

#endif
