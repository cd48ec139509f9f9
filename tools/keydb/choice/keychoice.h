// The key a command works with, named by --label TEXT or by --id HEX (the
// CKA_ID of its private key, as keydb list shows it); exactly one of them.
// The key database looks keys up by label only, so an id is turned into the
// label of the first private key object with that CKA_ID. A choice of any
// item takes, failing a private key, the first certificate and then the
// first public key with the id.
#ifndef KEYDB_KEYCHOICE_H
#define KEYDB_KEYCHOICE_H

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "asn/asn_string.h"
#include "keystore/zepslotmanager.h"
#include "session/modulediagnostics.h"

class ZEPKeyItem;

class KeyChoice {
public:
    enum class Scope { privateKey, anyItem };

    // `alternative`, when given, is an option that names what the command
    // works with in another way: then exactly one of the three is needed.
    explicit KeyChoice(CLI::App& command, Scope scope = Scope::privateKey, CLI::Option* alternative = nullptr);

    // The lookup value of the chosen key's label; throws std::runtime_error
    // when no private key has the id.
    asn_UTF8String label(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const;
    // The chosen private key, as a key record; throws std::runtime_error
    // when there is none.
    std::unique_ptr<ZEPKeyItem> privateKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const;
    // "labelled "x"" or "with id ab12", for messages.
    std::string named() const;

private:
    Scope scope_;
    std::string label_;
    std::string id_;
};

// The lookup value of a label.
asn_UTF8String labelValue(const std::string& label);
// A label as the key database stores it: the DER of a UTF8String.
ZEPBuffer labelDER(const std::string& label);

#endif
