#include "pkcs11diagnostics.h"

#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "asn/asn_error.h"
#include "asn/asn_x500name.h"
#include "asn/zepecpublickey.h"
#include "errorcodes.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeyitem.h"
#include "mechanisminfolist.h"
#include "objectreader.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "tokenlabel.h"

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

// The words of an item maker's failure: its message, or for an ASN.1
// failure without one (key components are not named) the code's meaning.
std::string failureWords(const ZEPException& failure) {
    const std::string message = failure.getMessage().str();
    return message.empty() ? asn_error_text(static_cast<int>(failure.getCode())) : message;
}

// The attributes of a certificate or an RSA or EC key object from which
// the key database could make no item.
const char* unreadablePart(const p11_object& object) {
    if (object.objectClass == CKO_CERTIFICATE) return "CKA_VALUE is no X.509 certificate";
    if (object.keyType == CKK_RSA) return "CKA_MODULUS and CKA_PUBLIC_EXPONENT make no RSA public key";
    // A private EC key object gives the key database its curve only.
    return object.objectClass == CKO_PUBLIC_KEY ? "CKA_EC_PARAMS and CKA_EC_POINT make no EC public key"
                                                : "CKA_EC_PARAMS names no curve of an EC key";
}

// Why the key database makes no item of the object, as p11_object::damage
// says; `missing` names the first certificate attribute it lacks.
std::string damageOf(SlotManager& slot, const p11_object& object, const char* missing, TokenLabel& tokenLabel) {
    const bool key = object.objectClass == CKO_PRIVATE_KEY || object.objectClass == CKO_PUBLIC_KEY;
    if (key && object.keyType == CK_UNAVAILABLE_INFORMATION) return "no CKA_KEY_TYPE";
    try {
        if (key && (object.keyType == CKK_RSA || object.keyType == CKK_EC)) {
            std::unique_ptr<ZEPKeyItem> item(SlotManagerUtility::makeKeyItem(slot, object.handle, tokenLabel));
        } else if (object.objectClass == CKO_CERTIFICATE) {
            const asn_x500name anyName;
            std::unique_ptr<ZEPCertItem> item(
                SlotManagerUtility::makeCertItem(slot, object.handle, MATCH_ALL, anyName));
            if (!item) return std::string("no ") + (missing ? missing : "certificate item");
        }
        return "";
    } catch (const ZEPException& failure) {
        if (!SlotManagerUtility::isUnreadable(failure)) throw;
        return std::string(unreadablePart(object)) + " (" + failureWords(failure) + ")";
    }
}

// The first of a certificate's CKA_LABEL, CKA_VALUE and CKA_ID the token
// does not give, in the order the key database reads them; null when it
// gives all three.
const char* missingCertificateAttribute(bool label, bool value, bool id) {
    if (!label) return "CKA_LABEL";
    if (!value) return "CKA_VALUE";
    return id ? nullptr : "CKA_ID";
}

// What the listing reads of an object: of keys and certificates, with the
// attributes the key database makes its items of, so that the damage check
// and the key database's listings after it find them read (ObjectReader).
AttributeTemplate readObject(SlotManager& slot, CK_OBJECT_HANDLE handle, CK_OBJECT_CLASS objectClass) {
    if (objectClass == CKO_CERTIFICATE)
        return ObjectReader::read(slot, handle, {CKA_CLASS, CKA_LABEL, CKA_VALUE, CKA_ID, CKA_SUBJECT});
    if (objectClass == CKO_PRIVATE_KEY || objectClass == CKO_PUBLIC_KEY)
        return ObjectReader::read(slot, handle, ObjectReader::keyItemAttributes());
    return ObjectReader::read(slot, handle, {CKA_CLASS, CKA_KEY_TYPE, CKA_LABEL, CKA_ID, CKA_SUBJECT});
}

void visitObject(SlotManager& slot, CK_OBJECT_HANDLE handle, CK_OBJECT_CLASS searchedClass,
                 p11_objectVisitor visit, void* context, TokenLabel& tokenLabel) {
    const AttributeTemplate read = readObject(slot, handle, searchedClass);
    p11_object object{};
    object.handle = handle;
    object.objectClass = CK_UNAVAILABLE_INFORMATION;
    object.keyType = CK_UNAVAILABLE_INFORMATION;
    read.getAttribute(CKA_CLASS, object.objectClass);
    read.getAttribute(CKA_KEY_TYPE, object.keyType);
    ZEPBuffer label, id, value, modulus, subject = bytesOf(read, CKA_SUBJECT);
    const bool hasLabel = read.getAttribute(CKA_LABEL, label), hasId = read.getAttribute(CKA_ID, id);
    bool hasValue = false;
    if (object.objectClass == CKO_CERTIFICATE) hasValue = read.getAttribute(CKA_VALUE, value);
    const bool rsaKey = (object.objectClass == CKO_PRIVATE_KEY || object.objectClass == CKO_PUBLIC_KEY) &&
                        object.keyType == CKK_RSA;
    if (rsaKey) modulus = bytesOf(read, CKA_MODULUS);
    const std::string damage =
        damageOf(slot, object, missingCertificateAttribute(hasLabel, hasValue, hasId), tokenLabel);
    ZEPBuffer ecPoint;
    if (damage.empty() && object.objectClass == CKO_PUBLIC_KEY && object.keyType == CKK_EC) {
        // Read for the damage check's item already: kept, not read again.
        const AttributeTemplate ec = ObjectReader::read(slot, handle, {CKA_EC_PARAMS, CKA_EC_POINT});
        ecPoint = ZEPECPublicKey::fromToken(bytesOf(ec, CKA_EC_PARAMS), bytesOf(ec, CKA_EC_POINT)).getPoint();
    }
    object.label = label.getValue();
    object.labelLength = label.getLength();
    object.id = id.getValue();
    object.idLength = id.getLength();
    object.value = value.getValue();
    object.valueLength = value.getLength();
    object.modulus = modulus.getValue();
    object.modulusLength = modulus.getLength();
    object.ecPoint = ecPoint.getValue();
    object.ecPointLength = ecPoint.getLength();
    object.subject = subject.getValue();
    object.subjectLength = subject.getLength();
    object.damage = damage.empty() ? nullptr : damage.c_str();
    visit(&object, context);
}

// The class of each object of the classes the key database handles, found
// by a search per class, so that each object is read once for what its
// class needs; other objects are absent.
std::map<CK_OBJECT_HANDLE, CK_OBJECT_CLASS> keyDatabaseClasses(SlotManager& slot) {
    std::map<CK_OBJECT_HANDLE, CK_OBJECT_CLASS> classes;
    for (CK_OBJECT_CLASS objectClass : {CKO_CERTIFICATE, CKO_PRIVATE_KEY, CKO_PUBLIC_KEY}) {
        AttributeTemplate search;
        search.setULong(CKA_CLASS, objectClass);
        std::vector<CK_OBJECT_HANDLE> handles;
        slot.getClient()->findObjects(slot.getSessionHandle(), search, handles);
        for (CK_OBJECT_HANDLE handle : handles) classes.emplace(handle, objectClass);
    }
    return classes;
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
        const std::map<CK_OBJECT_HANDLE, CK_OBJECT_CLASS> classes = keyDatabaseClasses(slot);
        TokenLabel tokenLabel;
        for (CK_OBJECT_HANDLE handle : handles) {
            const auto known = classes.find(handle);
            visitObject(slot, handle, known == classes.end() ? CKO_DATA : known->second, visit, context, tokenLabel);
        }
    });
}

int p11_destroyObject(ZEPSlotManager* slotManager, CK_OBJECT_HANDLE object, p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_destroyObject");
        SlotManager& slot = moduleObject<SlotManager>(slotManager);
        slot.openSession();
        slot.getClient()->destroyObject(slot.getSessionHandle(), object);
    });
}

int p11_setObjectLabel(ZEPSlotManager* slotManager, CK_OBJECT_HANDLE object, const unsigned char* label,
                       CK_ULONG labelLength, p11_status* status) {
    return reported(status, [&] {
        ZEP_TRACE(MODULE_TRACE, "p11_setObjectLabel");
        SlotManager& slot = moduleObject<SlotManager>(slotManager);
        if (!label && labelLength != 0) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args is invalid");
        AttributeTemplate relabel;
        SlotManagerUtility::setLabel(relabel, ZEPBuffer(labelLength, label));
        slot.openSession();
        slot.getClient()->setAttributeValue(slot.getSessionHandle(), object, relabel);
    });
}
