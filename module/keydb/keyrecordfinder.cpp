#include "keyrecordfinder.h"

#include <vector>

#include "attributetemplate.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "objectreader.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"

namespace {
std::string bytesOf(const ZEPBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.getValue()), buffer.getLength());
}
}  // namespace

bool KeyRecordFinder::find(SlotManager& slot, CK_OBJECT_CLASS objectClass, const ZEPBuffer& recordDER,
                           CK_OBJECT_HANDLE& handle) {
    if (mode_ == Mode::search)
        return SlotManagerUtility::findItem(slot, objectClass, MATCH_KEY_RECORD, recordDER, handle);
    const ZEPPKCS11ASNKeyRecord record(recordDER);
    const Identity wanted(bytesOf(record.getObjectId()), bytesOf(record.getSubjectName()));
    const Index& index = indexOf(slot, objectClass);
    const auto found = index.find(wanted);
    handle = 0;
    if (found == index.end()) return false;
    try {
        if (identityOf(slot, objectClass, found->second) == wanted) {
            handle = found->second;
            return true;
        }
    } catch (const ZEPPKCS11Exception& e) {
        // Gone since the index was made: the search decides. Any other
        // failure is the caller's.
        if (e.getReturnValue() != CKR_OBJECT_HANDLE_INVALID) throw;
    }
    return SlotManagerUtility::findItem(slot, objectClass, MATCH_KEY_RECORD, recordDER, handle);
}

const KeyRecordFinder::Index& KeyRecordFinder::indexOf(SlotManager& slot, CK_OBJECT_CLASS objectClass) {
    const auto known = indexes_.find(objectClass);
    if (known != indexes_.end()) return known->second;
    std::vector<CK_OBJECT_HANDLE> objects;
    SlotManagerUtility::findAllItems(slot, objectClass, objects, MATCH_ALL, ZEPBuffer());
    Index& index = indexes_[objectClass];
    // The first object of an identity in the token's order is the one a
    // search would find.
    for (CK_OBJECT_HANDLE object : objects) index.emplace(identityOf(slot, objectClass, object), object);
    return index;
}

KeyRecordFinder::Identity KeyRecordFinder::identityOf(SlotManager& slot, CK_OBJECT_CLASS objectClass,
                                                      CK_OBJECT_HANDLE object) {
    // A key is read with what its key item is made of, in the same calls,
    // so that making the item of a key found reads nothing more.
    const AttributeTemplate values =
        ObjectReader::read(slot, object,
                           objectClass == CKO_CERTIFICATE ? std::vector<CK_ATTRIBUTE_TYPE>{CKA_ID, CKA_SUBJECT}
                                                          : ObjectReader::keyItemAttributes());
    ZEPBuffer id, subject;
    values.getAttribute(CKA_ID, id);
    values.getAttribute(CKA_SUBJECT, subject);
    return Identity(bytesOf(id), bytesOf(subject));
}
