// RSA PKCS#1 v1.5 decryption on the token with a key that stays there. A
// one-shot decryption holds the slot lock throughout and the session lock
// from C_DecryptInit to C_Decrypt; a multi-part one holds the session lock
// for its C_DecryptInit alone, and until decryptDataFinal the token refuses
// the session's other decryptions (CKR_OPERATION_ACTIVE).
#ifndef MERVIL7_PKCS11KRYDECRYPTIONALGORITHM_H
#define MERVIL7_PKCS11KRYDECRYPTIONALGORITHM_H

#include <cstdint>

#include "kry/zepkrydecryptionalgorithm.h"
#include "pkcs11krytokenkey.h"

class PKCS11KRYDecryptionAlgorithm : public ZEPKRYDecryptionAlgorithm {
public:
    // The kind is 0, RSA PKCS#1 v1.5, the only one there is. Throws 577004
    // when the key record names another token.
    PKCS11KRYDecryptionAlgorithm(uint32_t kind, SlotManager* slotManager, const ZEPKRYKey& key);
    ~PKCS11KRYDecryptionAlgorithm() override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    ZEPBuffer decryptData(const r_buffer_t& data) override;
    void decryptDataInit() override;
    ZEPBuffer decryptDataUpdate(const r_buffer_t& data) override;
    ZEPBuffer decryptDataFinal() override;
    // The one-shot C_Decrypt of the operation decryptDataInit started.
    ZEPBuffer decryptData(const ZEPBuffer& data);

    static ZEPString getClassName() { return "PKCS11KRYDecryptionAlgorithm"; }

private:
    PKCS11KRYTokenKey key_;
};

#endif
