#include "pkcs11diagnostics.h"

#include <cstring>
#include <exception>
#include <vector>

#include "errorcodes.h"
#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanageriterator.h"

namespace {

// Hosts hand back the toolkit objects the module gave them.
template <typename Module, typename Toolkit>
Module& moduleObject(Toolkit* object) {
    if (!object || !object->isKindOf(Module::getClassName()))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args is invalid");
    return static_cast<Module&>(*object);
}

void describe(p11_status* status, long code, const char* message, const ZEPPKCS11Exception* cryptoki = nullptr) {
    if (!status) return;
    *status = p11_status{};
    status->code = code;
    std::strncpy(status->message, message, sizeof status->message - 1);
    if (cryptoki && cryptoki->hasReturnValue()) {
        status->hasReturnValue = 1;
        status->returnValue = cryptoki->getReturnValue();
    }
}

// The one place where the diagnostics' exceptions stop: runs `work` and
// turns whatever it throws into a status.
template <typename Work>
int reported(p11_status* status, Work work) noexcept {
    try {
        work();
        describe(status, 0, "");
        return 0;
    } catch (const ZEPPKCS11Exception& failure) {
        describe(status, failure.getCode(), failure.getMessage().c_str(), &failure);
    } catch (const ZEPException& failure) {
        describe(status, failure.getCode(), failure.getMessage().c_str());
    } catch (const std::exception& failure) {
        describe(status, 0, failure.what());
    } catch (...) {
        describe(status, 0, "unknown failure");
    }
    return 1;
}

// The value of `type` in `attributes`, or an empty buffer.
ZEPBuffer bytesOf(const AttributeTemplate& attributes, CK_ATTRIBUTE_TYPE type) {
    ZEPBuffer value;
    attributes.getAttribute(type, value);
    return value;
}

AttributeTemplate read(SlotManager& slot, CK_OBJECT_HANDLE object, std::initializer_list<CK_ATTRIBUTE_TYPE> types) {
    AttributeTemplate request, result;
    for (CK_ATTRIBUTE_TYPE type : types) request.addAttribute(type);
    slot.getClient()->getAttributeValue(slot.getSessionHandle(), object, request, result);
    return result;
}

void visitObject(SlotManager& slot, CK_OBJECT_HANDLE handle, p11_objectVisitor visit, void* context) {
    AttributeTemplate common = read(slot, handle, {CKA_CLASS, CKA_KEY_TYPE, CKA_LABEL, CKA_ID});
    p11_object object{};
    object.handle = handle;
    object.objectClass = CK_UNAVAILABLE_INFORMATION;
    object.keyType = CK_UNAVAILABLE_INFORMATION;
    common.getAttribute(CKA_CLASS, object.objectClass);
    common.getAttribute(CKA_KEY_TYPE, object.keyType);
    ZEPBuffer label = bytesOf(common, CKA_LABEL), id = bytesOf(common, CKA_ID), value, modulus;
    if (object.objectClass == CKO_CERTIFICATE) value = bytesOf(read(slot, handle, {CKA_VALUE}), CKA_VALUE);
    const bool rsaKey = (object.objectClass == CKO_PRIVATE_KEY || object.objectClass == CKO_PUBLIC_KEY) &&
                        object.keyType == CKK_RSA;
    if (rsaKey) modulus = bytesOf(read(slot, handle, {CKA_MODULUS}), CKA_MODULUS);
    object.label = label.getValue();
    object.labelLength = label.getLength();
    object.id = id.getValue();
    object.idLength = id.getLength();
    object.value = value.getValue();
    object.valueLength = value.getLength();
    object.modulus = modulus.getValue();
    object.modulusLength = modulus.getLength();
    visit(&object, context);
}

}  // namespace

int p11_getSlotAndTokenInfo(ZEPPKCS11Manager* manager, CK_SLOT_ID slot, CK_SLOT_INFO* info, CK_TOKEN_INFO* token,
                            p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_getSlotAndTokenInfo");
        PKCS11Client& client = *moduleObject<PKCS11Manager>(manager).getClient();
        client.getSlotInfo(slot, info);
        *token = CK_TOKEN_INFO{};
        if (info->flags & CKF_TOKEN_PRESENT) client.getTokenInfo(slot, token);
    });
}

int p11_dumpMechanisms(ZEPSlotManager* slotManager, p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_dumpMechanisms");
        MechanismInfoList(moduleObject<SlotManager>(slotManager)).dump();
    });
}

int p11_listObjects(ZEPSlotManager* slotManager, p11_objectVisitor visit, void* context, p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_listObjects");
        SlotManager& slot = moduleObject<SlotManager>(slotManager);
        if (!visit) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args is invalid");
        slot.openSession();
        // An empty template selects every object.
        AttributeTemplate everything;
        std::vector<CK_OBJECT_HANDLE> handles;
        slot.getClient()->findObjects(slot.getSessionHandle(), everything, handles);
        for (CK_OBJECT_HANDLE handle : handles) visitObject(slot, handle, visit, context);
    });
}

int p11_skipIteratorItem(ZEPSlotManager::Iterator* iterator, p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_skipIteratorItem");
        const bool moduleIterator = iterator && (iterator->isKindOf(SlotManagerKeyIterator::getClassName()) ||
                                                 iterator->isKindOf(SlotManagerCertIterator::getClassName()) ||
                                                 iterator->isKindOf(SlotManagerKeyCertIterator::getClassName()));
        if (!moduleIterator)
            throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "The iterator is not compatible with the function");
        auto& handles = static_cast<SlotManagerHandleIterator&>(*iterator);
        if (!handles.atEnd()) handles.advance();
    });
}
