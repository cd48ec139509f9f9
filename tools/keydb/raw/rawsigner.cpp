#include "raw/rawsigner.h"

#include <stdexcept>

RawSigner::RawSigner(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin, const ZEPBuffer& id)
    : session_(cryptoki, slot, pin), key_(findKey(id)) {}

CK_OBJECT_HANDLE RawSigner::findKey(const ZEPBuffer& id) const {
    const CK_FUNCTION_LIST& p11 = session_.functions();
    CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
    CK_ATTRIBUTE search[] = {
        {CKA_CLASS, &keyClass, sizeof keyClass},
        {CKA_ID, const_cast<unsigned char*>(id.getValue()), static_cast<CK_ULONG>(id.getLength())}};
    RawCryptoki::check(p11.C_FindObjectsInit(session_.handle(), search, 2), "C_FindObjectsInit");
    CK_OBJECT_HANDLE key = 0;
    CK_ULONG found = 0;
    const CK_RV searched = p11.C_FindObjects(session_.handle(), &key, 1, &found);
    // The search is finished whatever it found.
    const CK_RV finished = p11.C_FindObjectsFinal(session_.handle());
    RawCryptoki::check(searched, "C_FindObjects");
    RawCryptoki::check(finished, "C_FindObjectsFinal");
    if (found == 0) throw std::runtime_error("no private key has the CKA_ID");
    return key;
}

ZEPBuffer RawSigner::sign(const ZEPBuffer& message) {
    const CK_FUNCTION_LIST& p11 = session_.functions();
    CK_MECHANISM mechanism = {CKM_SHA1_RSA_PKCS, nullptr, 0};
    RawCryptoki::check(p11.C_SignInit(session_.handle(), &mechanism, key_), "C_SignInit");
    // An RSA signature is as long as the modulus: 1024 bytes hold 8192 bits.
    unsigned char signature[1024];
    CK_ULONG length = sizeof signature;
    RawCryptoki::check(p11.C_Sign(session_.handle(), const_cast<unsigned char*>(message.getValue()),
                                  static_cast<CK_ULONG>(message.getLength()), signature, &length),
                       "C_Sign");
    return ZEPBuffer(length, signature);
}
