// RSA PKCS#1 v1.5 signatures made on the token with a key that stays there.
// A one-shot signature holds the slot lock throughout and the session lock
// from C_SignInit to C_Sign; a multi-part signature holds the session lock
// for its C_SignInit alone, and until signDataFinal the token refuses the
// session's other signatures (CKR_OPERATION_ACTIVE).
#ifndef MERVIL7_PKCS11KRYSIGNATUREALGORITHM_H
#define MERVIL7_PKCS11KRYSIGNATUREALGORITHM_H

#include <cstdint>

#include "cryptoki.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "pkcs11krytokenkey.h"

class PKCS11KRYSignatureAlgorithm : public ZEPKRYSignatureAlgorithm {
public:
    enum Kind : uint32_t {
        MD5_WITH_RSA = 0,
        SHA1_WITH_RSA = 1,
        // The data is signed as given, padded by PKCS#1 v1.5.
        RAW_RSA = 2,
    };

    // Throws 577004 when the key record names another token.
    PKCS11KRYSignatureAlgorithm(uint32_t kind, SlotManager* slotManager, const ZEPKRYKey& key);
    ~PKCS11KRYSignatureAlgorithm() override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    ZEPBuffer signData(const r_buffer_t& data) override;
    void signDataInit() override;
    void signDataUpdate(const r_buffer_t& data) override;
    ZEPBuffer signDataFinal() override;
    // The one-shot C_Sign of data already prepared for the mechanism that
    // signDataInit chose.
    ZEPBuffer signDataFinal(const ZEPBuffer& data);

    static ZEPString getClassName() { return "PKCS11KRYSignatureAlgorithm"; }

private:
    // The kind's combined mechanism when the token lists it; otherwise
    // CKM_RSA_PKCS, and from then on the data is signed as a DigestInfo.
    CK_MECHANISM_TYPE chooseMechanism();
    void start(std::unique_lock<std::mutex>& sessionLock);
    // What C_Sign is given for `data` under the chosen mechanism.
    ZEPBuffer toSign(const r_buffer_t& data) const;

    const uint32_t kind_;
    PKCS11KRYTokenKey key_;
    bool digestInfoMode_ = false;
};

#endif
