#include "raw/rawsigner.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

RawSigner::RawSigner(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin, const ZEPBuffer& id,
                     const SignatureMechanism& mechanism)
    : session_(cryptoki, slot, pin),
      key_(findKey(id)),
      mechanism_(mechanism),
      combined_(lists(slot, mechanism.combined)) {}

bool RawSigner::lists(CK_SLOT_ID slot, CK_MECHANISM_TYPE type) const {
    const CK_FUNCTION_LIST& p11 = session_.functions();
    CK_ULONG count = 0;
    RawCryptoki::check(p11.C_GetMechanismList(slot, nullptr, &count), "C_GetMechanismList");
    std::vector<CK_MECHANISM_TYPE> listed(count);
    RawCryptoki::check(p11.C_GetMechanismList(slot, listed.data(), &count), "C_GetMechanismList");
    listed.resize(count);
    return std::find(listed.begin(), listed.end(), type) != listed.end();
}

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
    CK_RSA_PKCS_PSS_PARAMS pss = {mechanism_.pssHash, mechanism_.mgf, mechanism_.digest.getLength()};
    CK_MECHANISM mechanism = {combined_ ? mechanism_.combined : mechanism_.bare(), nullptr, 0};
    if (mechanism_.pss()) {
        mechanism.pParameter = &pss;
        mechanism.ulParameterLen = sizeof pss;
    }
    // Without the combined mechanism the token signs the digest, PKCS#1
    // v1.5 in its DigestInfo.
    ZEPBuffer input = message;
    if (!combined_) {
        input = mechanism_.digest.digestData(message);
        if (mechanism_.signsDigestInfo()) input = mechanism_.digest.getDigestInfo(input);
    }
    RawCryptoki::check(p11.C_SignInit(session_.handle(), &mechanism, key_), "C_SignInit");
    // An RSA signature is as long as the modulus: 1024 bytes hold 8192 bits,
    // and far more than ECDSA's r and s on P-521.
    unsigned char signature[1024];
    CK_ULONG length = sizeof signature;
    RawCryptoki::check(p11.C_Sign(session_.handle(), input.getValue(), static_cast<CK_ULONG>(input.getLength()),
                                  signature, &length),
                       "C_Sign");
    return ZEPBuffer(length, signature);
}
