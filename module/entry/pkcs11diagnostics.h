// Diagnostics for hosts, exported by name from the module library: what a
// host shows people about slots, tokens, mechanisms and token objects beyond
// the toolkit's own interfaces. None throws: each returns 0 when done and
// otherwise 1, describing the failure in `status` when that is not null.
#ifndef MERVIL7_PKCS11DIAGNOSTICS_H
#define MERVIL7_PKCS11DIAGNOSTICS_H

#include "cryptoki.h"
#include "keystore/zepslotmanager.h"
#include "moduleexport.h"

class ZEPPKCS11Manager;

extern "C" {
// Why a diagnostic failed: the module's error code and message (as its
// exceptions carry them) and the Cryptoki return value when one caused it.
// A failure that is no module error has code 0.
struct p11_status {
    long code;
    int hasReturnValue;
    CK_RV returnValue;
    char message[256];
};

// One token object. The byte fields point into the module's memory and are
// valid during the visitor's call only; an attribute the token does not give
// has length 0. `keyType` is CK_UNAVAILABLE_INFORMATION for objects without
// CKA_KEY_TYPE.
struct p11_object {
    CK_OBJECT_HANDLE handle;
    CK_OBJECT_CLASS objectClass;
    CK_ULONG keyType;
    const unsigned char* label;
    CK_ULONG labelLength;
    const unsigned char* id;
    CK_ULONG idLength;
    // CKA_VALUE of certificates.
    const unsigned char* value;
    CK_ULONG valueLength;
    // CKA_MODULUS of RSA keys.
    const unsigned char* modulus;
    CK_ULONG modulusLength;
    // The uncompressed point of EC public keys that are not damaged,
    // whether CKA_EC_POINT holds it in a DER OCTET STRING or bare.
    const unsigned char* ecPoint;
    CK_ULONG ecPointLength;
    const unsigned char* subject;
    CK_ULONG subjectLength;
    // Why the key database makes no item of a certificate, or of a key that
    // is of type RSA or of no type: the attribute it lacks, or the value that
    // does not decode. Null when it makes one, and for objects of other
    // kinds. Its listings and lookups pass over such an object.
    const char* damage;
};

// Called once per object; it must not throw.
typedef void (*p11_objectVisitor)(const p11_object* object, void* context);

// The slot's information and, when a token is present, the token's
// (`token` is zero-filled otherwise). `manager` is one the module made.
MERVIL7_EXPORT int p11_getSlotAndTokenInfo(ZEPPKCS11Manager* manager, CK_SLOT_ID slot, CK_SLOT_INFO* info,
                                           CK_TOKEN_INFO* token, p11_status* status);
// Writes the slot's mechanism lines to standard output.
MERVIL7_EXPORT int p11_dumpMechanisms(ZEPSlotManager* slotManager, p11_status* status);
// Visits every object the slot manager's session can see, in the token's
// order, whatever its class and type: also those the key database does not
// make items of.
MERVIL7_EXPORT int p11_listObjects(ZEPSlotManager* slotManager, p11_objectVisitor visit, void* context,
                                   p11_status* status);
// Destroys one object that p11_listObjects reported, whatever it is, in the
// slot manager's session: for objects the key database makes no item of.
MERVIL7_EXPORT int p11_destroyObject(ZEPSlotManager* slotManager, CK_OBJECT_HANDLE object, p11_status* status);
// Sets the CKA_LABEL of one object that p11_listObjects reported, to the
// label's text as every label the module writes.
MERVIL7_EXPORT int p11_setObjectLabel(ZEPSlotManager* slotManager, CK_OBJECT_HANDLE object, const unsigned char* label,
                                      CK_ULONG labelLength, p11_status* status);
}

// Signatures of the exported functions, for hosts that look them up.
using p11_getSlotAndTokenInfo_t = int (*)(ZEPPKCS11Manager*, CK_SLOT_ID, CK_SLOT_INFO*, CK_TOKEN_INFO*, p11_status*);
using p11_dumpMechanisms_t = int (*)(ZEPSlotManager*, p11_status*);
using p11_listObjects_t = int (*)(ZEPSlotManager*, p11_objectVisitor, void*, p11_status*);
using p11_destroyObject_t = int (*)(ZEPSlotManager*, CK_OBJECT_HANDLE, p11_status*);
using p11_setObjectLabel_t = int (*)(ZEPSlotManager*, CK_OBJECT_HANDLE, const unsigned char*, CK_ULONG, p11_status*);

#endif
