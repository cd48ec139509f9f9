#include "keychoice.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "itemdescription.h"
#include "keyfacts.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkrykey.h"
#include "tokenobjects.h"

asn_UTF8String labelValue(const std::string& label) {
    asn_UTF8String value;
    if (value.set_text(label) != 0) throw std::runtime_error("the label is no UTF-8 text");
    return value;
}

KeyChoice::KeyChoice(CLI::App& command) {
    auto* label = command.add_option("--label", label_, "The key's label")->type_name("TEXT");
    auto* id = command.add_option("--id", id_, "The key's CKA_ID in hexadecimal")->type_name("HEX");
    label->excludes(id);
    command.callback([label, id] {
        if (label->count() + id->count() != 1) throw CLI::ValidationError("--label or --id is required");
    });
}

std::string KeyChoice::named() const { return id_.empty() ? "labelled \"" + label_ + "\"" : "with id " + id_; }

asn_UTF8String KeyChoice::label(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    if (id_.empty()) return labelValue(label_);
    std::string id = id_;
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
    TokenObjects objects(diagnostics.listObjects(slot));
    const TokenObject* key = objects.find(
        [&](const TokenObject& object) { return object.objectClass == CKO_PRIVATE_KEY && lowerHex(object.id) == id; });
    if (!key) throw std::runtime_error("no private key " + named());
    return labelValue(labelText(key->label));
}

std::unique_ptr<ZEPKeyItem> KeyChoice::privateKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    std::unique_ptr<ZEPKeyItem> item(slot.getItem(ZEPSlotManager::KeyUniqueIndex::LABEL, label(slot, diagnostics)));
    if (!item || item->getKey().getType() != ZEPKRYKey::TYPE_PRIVATE) throw std::runtime_error("no private key " + named());
    return item;
}
