#include "choice/tokenitems.h"

#include <algorithm>
#include <memory>

#include "io/itemdescription.h"
#include "io/keyfacts.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"

namespace {

using Iterator = ZEPSlotManager::Iterator;

// Every item `next` yields from a fresh iterator.
template <typename Item>
std::vector<Item> walk(ZEPSlotManager& slot, Iterator* (ZEPSlotManager::*makeIterator)(),
                       Item* (ZEPSlotManager::*next)(Iterator&)) {
    std::unique_ptr<Iterator> iterator((slot.*makeIterator)());
    std::vector<Item> items;
    while (std::unique_ptr<Item> item{(slot.*next)(*iterator)}) items.push_back(*item);
    return items;
}

// Whether the object belongs to the key record: same CKA_ID and CKA_SUBJECT,
// as the key database ties a pair's or a request's keys. (A request has no
// certificate of its record, or it would be a pair.)
bool ofRecord(const TokenObject& object, const ZEPPKCS11ASNKeyRecord& record) {
    return object.id == record.getObjectId() && object.subject == record.getSubjectName();
}

TokenItem itemOf(ItemKind kind, const ZEPBuffer& label, const ZEPBuffer& id) {
    TokenItem item;
    item.kind = kind;
    item.label = labelText(label);
    item.id = id;
    return item;
}

}  // namespace

TokenItems::TokenItems(ZEPSlotManager& slot, const ModuleDiagnostics& diagnostics)
    : objects_(diagnostics.listObjects(slot)),
      loginRequired_(slot.isLoginRequired()),
      claimed_(objects_.all().size(), false) {
    addPairsAndRequests(slot);
    addObjects();
    addKeyItems(slot);
    // Refusals list the candidates in an order that does not change with the
    // token's.
    std::stable_sort(items_.begin(), items_.end(), [](const TokenItem& a, const TokenItem& b) {
        return std::pair(a.kind, lowerHex(a.id)) < std::pair(b.kind, lowerHex(b.id));
    });
}

std::string TokenItems::labelTaken(const std::string& label, const TokenItem* except) const {
    std::string holders;
    for (const TokenItem& item : items_)
        if (&item != except && std::any_of(item.objects.begin(), item.objects.end(), [&](const TokenObject& object) {
                return labelText(object.label) == label;
            }))
            holders += (holders.empty() ? "" : ", ") + item.shortName();
    return holders.empty() ? "" : "the label \"" + label + "\" is on the token already (" + holders + ")";
}

template <typename Belongs>
void TokenItems::claim(TokenItem& item, Belongs belongs) {
    const std::vector<TokenObject>& objects = objects_.all();
    for (std::size_t i = 0; i < objects.size(); ++i)
        if (!claimed_[i] && objects[i].isKeyDatabaseItem() && belongs(objects[i])) {
            item.objects.push_back(objects[i]);
            claimed_[i] = true;
        }
}

void TokenItems::addPairsAndRequests(ZEPSlotManager& slot) {
    for (const ZEPKeyCertItem& pair : walk(slot, &ZEPSlotManager::getKeyCertIterator,
                                           &ZEPSlotManager::getNextKeyCertItem)) {
        const ZEPPKCS11ASNKeyRecord record(pair.getKey().getKeyBlob());
        TokenItem item = itemOf(ItemKind::pair, pair.getLabel(), record.getObjectId());
        claim(item, [&](const TokenObject& object) {
            return object.objectClass == CKO_CERTIFICATE ? object.value == pair.getCertificateDER()
                                                         : ofRecord(object, record);
        });
        item.pair = pair;
        items_.push_back(std::move(item));
    }
    for (const ZEPKeyCertReqItem& request : walk(slot, &ZEPSlotManager::getKeyCertReqIterator,
                                                 &ZEPSlotManager::getNextKeyCertReqItem)) {
        const ZEPPKCS11ASNKeyRecord record(request.getPrivateKeyItem().getKey().getKeyBlob());
        TokenItem item = itemOf(ItemKind::request, request.getLabel(), record.getObjectId());
        claim(item, [&](const TokenObject& object) { return ofRecord(object, record); });
        item.request = request;
        items_.push_back(std::move(item));
    }
}

void TokenItems::addObjects() {
    const std::vector<TokenObject>& objects = objects_.all();
    // Keys gather by CKA_ID and label, a key pair being one item; so do the
    // other objects, such as an EC key pair and its certificate.
    const std::size_t firstKey = items_.size();
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (claimed_[i]) continue;
        const TokenObject& object = objects[i];
        const ItemKind kind = !object.isKeyDatabaseItem()              ? ItemKind::other
                              : object.objectClass == CKO_CERTIFICATE ? ItemKind::certificate
                                                                       : ItemKind::key;
        const std::string label = labelText(object.label);
        auto same = std::find_if(items_.begin() + firstKey, items_.end(), [&](const TokenItem& item) {
            return kind != ItemKind::certificate && item.kind == kind && item.id == object.id && item.label == label;
        });
        if (same == items_.end()) same = items_.insert(items_.end(), itemOf(kind, object.label, object.id));
        same->objects.push_back(object);
    }
}

void TokenItems::addKeyItems(ZEPSlotManager& slot) {
    for (const ZEPKeyItem& key : walk(slot, &ZEPSlotManager::getKeyIterator, &ZEPSlotManager::getNextKeyItem)) {
        const ZEPKRYKey& value = key.getKey();
        const bool isPrivate = value.getType() == ZEPKRYKey::TYPE_PRIVATE;
        const std::string label = labelText(key.getLabel());
        for (TokenItem& item : items_) {
            if (item.kind != ItemKind::key || item.label != label) continue;
            std::optional<ZEPKeyItem>& slotOfKey = isPrivate ? item.privateKey : item.publicKey;
            const bool matches =
                isPrivate ? ZEPPKCS11ASNKeyRecord(value.getKeyBlob()).getObjectId() == item.id && item.has(CKO_PRIVATE_KEY)
                          : std::any_of(item.objects.begin(), item.objects.end(), [&](const TokenObject& object) {
                                return object.isPublicKeyOf(PublicKeyFacts::ofDER(value.getKeyBlob()));
                            });
            if (matches && !slotOfKey) {
                slotOfKey = key;
                break;
            }
        }
    }
}
