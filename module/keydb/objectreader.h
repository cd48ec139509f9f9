// Reads the attributes of token objects that the key database's items and
// the host's object listing are made of, through the slot's cache
// (TokenCache::objectAttributes): an object read within the last second,
// with no write by the module since, is read again from memory. Searches
// that decide which object a lookup takes read the token themselves.
#ifndef MERVIL7_OBJECTREADER_H
#define MERVIL7_OBJECTREADER_H

#include <vector>

#include "attributetemplate.h"
#include "cryptoki.h"

class SlotManager;

class ObjectReader {
public:
    // The attributes of `types` the token gives for the object, read in one
    // call for their lengths and one for their values; sensitive and unknown
    // ones are left out.
    static AttributeTemplate read(SlotManager& slot, CK_OBJECT_HANDLE object,
                                  const std::vector<CK_ATTRIBUTE_TYPE>& types);
    // The attributes of every group of `groups`, read in one batch. A token
    // that answers the batch with CKR_ATTRIBUTE_SENSITIVE,
    // CKR_ATTRIBUTE_TYPE_INVALID or CKR_BUFFER_TOO_SMALL may have left the
    // rest of it unfilled, so then each group is read on its own instead, as
    // it would be without the batch.
    static std::vector<AttributeTemplate> readGroups(SlotManager& slot, CK_OBJECT_HANDLE object,
                                                     const std::vector<std::vector<CK_ATTRIBUTE_TYPE>>& groups);
    // What a key item is made of, as readGroups reads it: the key's own
    // attributes (CKA_CLASS, CKA_KEY_TYPE, CKA_SUBJECT, CKA_LABEL, CKA_ID) and
    // the RSA public components most keys have.
    static std::vector<AttributeTemplate> readKeyItem(SlotManager& slot, CK_OBJECT_HANDLE object);
    // The same attributes for a read in one call: a key read so is made
    // into its item without reading again.
    static const std::vector<CK_ATTRIBUTE_TYPE>& keyItemAttributes();

private:
    // The values of `types`, kept or read; true when the token gave them all
    // with CKR_OK.
    static bool readAll(SlotManager& slot, CK_OBJECT_HANDLE object, const std::vector<CK_ATTRIBUTE_TYPE>& types,
                        AttributeTemplate& values);
};

#endif
