// RSA and EC key pairs generated as token objects. Both objects are
// labelled with the key id, the SHA-1 of an RSA key's modulus or of an EC
// key's uncompressed point: CKA_ID holds it, CKA_LABEL its hexadecimal
// text, so the pair and its later certificates share one identifier. The
// private key never leaves the token: the pair returned holds the public
// key's SubjectPublicKeyInfo and a key record for the private key.
#ifndef MERVIL7_PKCS11KRYPUBLICKEYGENALGORITHM_H
#define MERVIL7_PKCS11KRYPUBLICKEYGENALGORITHM_H

#include <cstdint>
#include <memory>

#include "cryptoki.h"
#include "kry/zepkrypublickeygenalgorithm.h"

class SlotManager;
class ZEPECCurve;

class PKCS11KRYPublicKeyGenAlgorithm : public ZEPKRYPublicKeyGenAlgorithm {
public:
    enum Kind : uint32_t { RSA = 1, EC = 2 };

    PKCS11KRYPublicKeyGenAlgorithm(uint32_t kind, SlotManager* slotManager, uint32_t keyBits);
    // An EC key pair on `curve` (CKM_EC_KEY_PAIR_GEN).
    PKCS11KRYPublicKeyGenAlgorithm(SlotManager* slotManager, const ZEPECCurve& curve);
    ~PKCS11KRYPublicKeyGenAlgorithm() override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    // Throws 571004 "Algorithm is not supported" for any kind but RSA and
    // EC. When a step after the generation fails, the objects stay on the
    // token.
    ZEPKRYKeyPair generateKeyPair() override;

    static ZEPString getClassName() { return "PKCS11KRYPublicKeyGenAlgorithm"; }

private:
    // Sets CKA_ID and CKA_LABEL of both objects from the public key.
    void label(CK_OBJECT_HANDLE publicKey, CK_OBJECT_HANDLE privateKey);
    // The key id of the public key object: the SHA-1 of its modulus or point.
    ZEPBuffer keyIdOf(CK_OBJECT_HANDLE publicKey);
    ZEPKRYKey keyOf(CK_OBJECT_HANDLE object);

    const uint32_t kind_;
    std::unique_ptr<SlotManager> slot_;
    const uint32_t keyBits_;
    // Of an EC key pair; null otherwise.
    const ZEPECCurve* curve_ = nullptr;
};

#endif
