#include "objectreader.h"

#include "pkcs11client.h"
#include "slotmanager.h"
#include "tokencache.h"

bool ObjectReader::readAll(SlotManager& slot, CK_OBJECT_HANDLE object, const std::vector<CK_ATTRIBUTE_TYPE>& types,
                           AttributeTemplate& values) {
    TokenCache& cache = slot.getTokenCache();
    if (auto kept = cache.objectAttributes(slot, object, types)) {
        values = std::move(*kept);
        return true;
    }
    PKCS11Client& client = *slot.getClient();
    const uint64_t writes = client.writeCount();
    AttributeTemplate request;
    for (CK_ATTRIBUTE_TYPE type : types) request.addAttribute(type);
    const bool all =
        client.getAttributeValue(slot.getSessionHandle(), object, request, values) == CKR_OK &&
        values.size() == request.size();
    // A read that left an attribute out may have left others unfilled.
    if (all) cache.keepObjectAttributes(slot, object, values, writes);
    return all;
}

AttributeTemplate ObjectReader::read(SlotManager& slot, CK_OBJECT_HANDLE object,
                                     const std::vector<CK_ATTRIBUTE_TYPE>& types) {
    AttributeTemplate values;
    readAll(slot, object, types, values);
    return values;
}

std::vector<AttributeTemplate> ObjectReader::readGroups(SlotManager& slot, CK_OBJECT_HANDLE object,
                                                        const std::vector<std::vector<CK_ATTRIBUTE_TYPE>>& groups) {
    std::vector<CK_ATTRIBUTE_TYPE> types;
    for (const auto& group : groups) types.insert(types.end(), group.begin(), group.end());
    AttributeTemplate batch;
    bool whole = false;
    try {
        whole = readAll(slot, object, types, batch);
    } catch (const ZEPPKCS11Exception& failure) {
        if (failure.getReturnValue() != CKR_BUFFER_TOO_SMALL) throw;
    }
    std::vector<AttributeTemplate> results;
    for (const auto& group : groups) {
        if (!whole) {
            results.push_back(read(slot, object, group));
            continue;
        }
        AttributeTemplate& result = results.emplace_back();
        for (CK_ATTRIBUTE_TYPE type : group) {
            ZEPBuffer value;
            if (batch.getAttribute(type, value)) result.setAttribute(type, value);
        }
    }
    return results;
}

namespace {
const std::vector<std::vector<CK_ATTRIBUTE_TYPE>>& keyItemGroups() {
    static const std::vector<std::vector<CK_ATTRIBUTE_TYPE>> groups = {
        {CKA_CLASS, CKA_KEY_TYPE, CKA_SUBJECT, CKA_LABEL, CKA_ID}, {CKA_MODULUS, CKA_PUBLIC_EXPONENT}};
    return groups;
}
}  // namespace

std::vector<AttributeTemplate> ObjectReader::readKeyItem(SlotManager& slot, CK_OBJECT_HANDLE object) {
    return readGroups(slot, object, keyItemGroups());
}

const std::vector<CK_ATTRIBUTE_TYPE>& ObjectReader::keyItemAttributes() {
    static const std::vector<CK_ATTRIBUTE_TYPE> types = [] {
        std::vector<CK_ATTRIBUTE_TYPE> all;
        for (const auto& group : keyItemGroups()) all.insert(all.end(), group.begin(), group.end());
        return all;
    }();
    return types;
}
