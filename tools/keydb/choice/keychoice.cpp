#include "choice/keychoice.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "asn/buffer_t.h"
#include "io/itemdescription.h"
#include "io/keyfacts.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkrykey.h"

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "a, b and c".
std::string listed(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return text;
}

}  // namespace

const ItemKinds ItemKinds::any{
    {ItemKind::pair, ItemKind::certificate, ItemKind::request, ItemKind::key, ItemKind::other}, false, "item"};
const ItemKinds ItemKinds::databaseItems{
    {ItemKind::pair, ItemKind::certificate, ItemKind::request, ItemKind::key}, false, "item"};
const ItemKinds ItemKinds::privateKeys{{ItemKind::pair, ItemKind::request, ItemKind::key}, true, "private key"};
const ItemKinds ItemKinds::certificates{{ItemKind::pair, ItemKind::certificate}, false, "certificate"};
const ItemKinds ItemKinds::requests{{ItemKind::request}, false, "pending request"};

bool ItemKinds::takes(const TokenItem& item) const {
    return std::find(kinds.begin(), kinds.end(), item.kind) != kinds.end() &&
           (!needsPrivateKey || item.privateKeyItem());
}

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

KeyChoice::KeyChoice(CLI::App& command, UriOption& uri, Scope scope, CLI::Option* alternative) : uri_(uri) {
    const std::string what = scope == Scope::privateKey ? "The key's" : "The item's";
    labelOption_ = command.add_option("--label", label_, what + " label")->type_name("TEXT");
    idOption_ = command.add_option("--id", id_, what + " CKA_ID in hexadecimal")->type_name("HEX");
    if (scope == Scope::anyItem) {
        kindOption_ =
            command
                .add_option("--kind", kind_, "Only an item of this kind: pair, certificate (or cert), request, key or other")
                ->check(CLI::IsMember({"pair", "cert", "certificate", "request", "key", "other"}).description(""))
                ->type_name("KIND");
        if (alternative) kindOption_->excludes(alternative);
    }
    std::vector<const CLI::Option*> replaced{labelOption_, idOption_};
    if (alternative) replaced.push_back(alternative);
    uri.takes(UriOption::Part::object, std::move(replaced));
    command.callback([this, alternative] {
        const bool named = labelOption_->count() + idOption_->count() != 0 || uri_.names(UriOption::Part::object);
        if (!alternative && !named) throw CLI::ValidationError("--label or --id (or --uri) is required");
        if (alternative && named == (alternative->count() != 0))
            throw CLI::ValidationError("either --label and --id (or --uri) or " + alternative->get_name() +
                                       " is required");
    });
}

std::string KeyChoice::named() const {
    if (uri_.names(UriOption::Part::object)) return "of the URI";
    std::string text;
    if (labelOption_->count()) text = "labelled \"" + label_ + "\"";
    if (idOption_->count())
        text += std::string(text.empty() ? "" : " ") + (id_.empty() ? "with no id" : "with id " + lowerCase(id_));
    return text;
}

ItemKinds KeyChoice::narrowed(const ItemKinds& kinds) const {
    if (!kindOption_ || !kindOption_->count()) return kinds;
    const std::string noun = kind_ == "cert" ? "certificate" : kind_;
    ItemKinds one{{}, kinds.needsPrivateKey, noun == "other" ? "other object" : noun};
    for (ItemKind kind : kinds.kinds)
        if (kindName(kind) == noun) one.kinds.push_back(kind);
    return one;
}

std::string KeyChoice::hint(const std::vector<const TokenItem*>& candidates) const {
    const bool kindsDiffer = std::any_of(candidates.begin(), candidates.end(),
                                         [&](const TokenItem* item) { return item->kind != candidates.front()->kind; });
    std::vector<std::string> options;
    if (uri_.names(UriOption::Part::object)) {
        if (!uri_.uri()->id) options.push_back("the URI's id");
    } else if (!idOption_->count()) {
        options.push_back("--id");
    }
    if (kindOption_ && !kindOption_->count() && kindsDiffer) options.push_back("--kind");
    if (options.empty()) return "";
    return "; name one with " + (options.size() == 1 ? options.front() : options.front() + " or " + options.back());
}

std::vector<const TokenItem*> KeyChoice::matching(const TokenItems& items, const ItemKinds& kinds) const {
    const ItemKinds wanted = narrowed(kinds);
    std::vector<const TokenItem*> found = withName(items);
    std::erase_if(found, [&](const TokenItem* item) { return !wanted.takes(*item); });
    return found;
}

bool KeyChoice::fitsUri(const TokenItem& item) const {
    const Pkcs11Uri& wanted = *uri_.uri();
    return (!wanted.object || item.label == *wanted.object) && (!wanted.id || item.id == *wanted.id) &&
           (!wanted.type || item.has(*wanted.type));
}

std::vector<const TokenItem*> KeyChoice::withName(const TokenItems& items) const {
    const bool byUri = uri_.names(UriOption::Part::object);
    std::vector<const TokenItem*> found;
    for (const TokenItem& item : items.all())
        if (byUri ? fitsUri(item)
                  : (!labelOption_->count() || item.label == label_) &&
                        (!idOption_->count() || lowerHex(item.id) == lowerCase(id_)))
            found.push_back(&item);
    return found;
}

const TokenItem& KeyChoice::one(const TokenItems& items, const ItemKinds& kinds, const std::string& orElse) const {
    const std::vector<const TokenItem*> taken = matching(items, kinds);
    if (taken.size() == 1) return *taken.front();
    std::vector<std::string> words;
    if (taken.size() > 1) {
        for (const TokenItem* item : taken) words.push_back(item->shortName());
        throw std::runtime_error(std::to_string(taken.size()) + " items " + named() + ": " + listed(words) +
                                 hint(taken) + orElse);
    }
    const std::vector<const TokenItem*> found = withName(items);
    const std::string none = "no " + narrowed(kinds).noun + " " + named();
    if (items.loginRequired())
        throw std::runtime_error(none + " is visible before login: give the user PIN with --pin or KEYDB_PIN");
    if (found.empty()) throw std::runtime_error(none);
    for (const TokenItem* item : found) words.push_back(item->kindWords());
    throw std::runtime_error(none + ": " + (found.size() == 1 ? "it is " : "they are ") + listed(words));
}

std::unique_ptr<ZEPKeyItem> KeyChoice::privateKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    const TokenItems items(slot, diagnostics);
    return std::make_unique<ZEPKeyItem>(*one(items, ItemKinds::privateKeys).privateKeyItem());
}

ZEPKRYKey KeyChoice::publicKey(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics) const {
    const TokenItems items(slot, diagnostics);
    const TokenItem& item = one(items, ItemKinds::privateKeys);
    requireRSA(item.privateKeyItem()->getKey(), "encrypt");
    if (!item.has(CKO_PUBLIC_KEY))
        throw std::runtime_error("the " + item.kindName() + " " + named() +
                                 " has no public key object on the token to encrypt with");
    ZEPKRYKey key = item.privateKeyItem()->getKey();
    key.setType(ZEPKRYKey::TYPE_PUBLIC);
    return key;
}

void KeyChoice::requireRSA(const ZEPKRYKey& key, const std::string& use) const {
    if (key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC)
        throw std::runtime_error("the key " + named() + " is an EC key, which only signs: " + use +
                                 " takes RSA keys");
}
