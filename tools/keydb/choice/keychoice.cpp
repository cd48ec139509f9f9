#include "choice/keychoice.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

#include "asn/buffer_t.h"
#include "io/itemdescription.h"
#include "io/keyfacts.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkrykey.h"
#include "session/tokenobjects.h"

asn_UTF8String labelValue(const std::string& label) {
    asn_UTF8String value;
    if (value.set_text(label) != 0) throw std::runtime_error("the label is no UTF-8 text");
    return value;
}

ZEPBuffer labelDER(const std::string& label) {
    buffer_t der;
    if (labelValue(label).write(der) != 0) throw std::runtime_error("the label cannot be encoded");
    return der.to_buffer();
}

KeyChoice::KeyChoice(CLI::App& command, Scope scope, CLI::Option* alternative) : scope_(scope) {
    const std::string what = scope == Scope::privateKey ? "The key's" : "The item's";
    auto* label = command.add_option("--label", label_, what + " label")->type_name("TEXT");
    auto* id = command.add_option("--id", id_, what + " CKA_ID in hexadecimal")->type_name("HEX");
    label->excludes(id);
    command.callback([label, id, alternative] {
        if (!alternative && label->count() + id->count() != 1)
            throw CLI::ValidationError("--label or --id is required");
        if (alternative && label->count() + id->count() + alternative->count() != 1)
            throw CLI::ValidationError("one of --label, --id and " + alternative->get_name() + " is required");
    });
}

std::string KeyChoice::named() const { return id_.empty() ? "labelled \"" + label_ + "\"" : "with id " + id_; }

asn_UTF8String KeyChoice::label(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    if (id_.empty()) return labelValue(label_);
    std::string id = id_;
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
    TokenObjects objects(diagnostics.listObjects(slot));
    std::vector<CK_OBJECT_CLASS> classes = {CKO_PRIVATE_KEY};
    if (scope_ == Scope::anyItem) classes.insert(classes.end(), {CKO_CERTIFICATE, CKO_PUBLIC_KEY});
    for (CK_OBJECT_CLASS objectClass : classes) {
        const TokenObject* found = objects.find(
            [&](const TokenObject& object) { return object.objectClass == objectClass && lowerHex(object.id) == id; });
        if (found) return labelValue(labelText(found->label));
    }
    throw std::runtime_error((scope_ == Scope::privateKey ? "no private key " : "no item ") + named());
}

std::unique_ptr<ZEPKeyItem> KeyChoice::privateKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    std::unique_ptr<ZEPKeyItem> item(slot.getItem(ZEPSlotManager::KeyUniqueIndex::LABEL, label(slot, diagnostics)));
    if (!item || item->getKey().getType() != ZEPKRYKey::TYPE_PRIVATE) throw std::runtime_error("no private key " + named());
    return item;
}
