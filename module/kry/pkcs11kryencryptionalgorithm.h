// RSA PKCS#1 v1.5 encryption on the token with a key that stays there. A
// one-shot encryption holds the slot lock throughout and the session lock
// from C_EncryptInit to C_Encrypt; a multi-part one holds the session lock
// for its C_EncryptInit alone, and until encryptDataFinal the token refuses
// the session's other encryptions (CKR_OPERATION_ACTIVE).
#ifndef MERVIL7_PKCS11KRYENCRYPTIONALGORITHM_H
#define MERVIL7_PKCS11KRYENCRYPTIONALGORITHM_H

#include <cstdint>

#include "kry/zepkryencryptionalgorithm.h"
#include "pkcs11krytokenkey.h"

class PKCS11KRYEncryptionAlgorithm : public ZEPKRYEncryptionAlgorithm {
public:
    // The kind is 0, RSA PKCS#1 v1.5, the only one there is. Throws 577004
    // when the key record names another token.
    PKCS11KRYEncryptionAlgorithm(uint32_t kind, SlotManager* slotManager, const ZEPKRYKey& key);
    ~PKCS11KRYEncryptionAlgorithm() override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    // 36 bytes are signed rather than encrypted where the token can sign
    // with RSA (see the source).
    ZEPBuffer encryptData(const r_buffer_t& data) override;
    void encryptDataInit() override;
    ZEPBuffer encryptDataUpdate(const r_buffer_t& data) override;
    ZEPBuffer encryptDataFinal() override;
    // Always null: RSA encryption has no key-recovery block.
    const ZEPBuffer* getKeyRecoveryBlock() const override;
    // The one-shot C_Encrypt of the operation encryptDataInit started.
    ZEPBuffer encryptDataFinal(const ZEPBuffer& data);

    static ZEPString getClassName() { return "PKCS11KRYEncryptionAlgorithm"; }

private:
    PKCS11KRYTokenKey key_;
};

#endif
