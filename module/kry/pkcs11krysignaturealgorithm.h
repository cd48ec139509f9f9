// Signatures made on the token with a key that stays there: RSA PKCS#1 v1.5
// over MD5, SHA-1 and SHA-2 digests or over data as given, RSASSA-PSS over
// SHA-2 digests (MGF1 with the same digest, a salt as long as the digest),
// and ECDSA over SHA-2 digests, the token's r||s returned as the DER
// Ecdsa-Sig-Value that X.509 and openssl use. A one-shot signature holds the slot lock throughout and the
// session lock from C_SignInit to C_Sign; a multi-part signature holds the
// session lock for its C_SignInit alone, and until signDataFinal the token
// refuses the session's other signatures (CKR_OPERATION_ACTIVE).
#ifndef MERVIL7_PKCS11KRYSIGNATUREALGORITHM_H
#define MERVIL7_PKCS11KRYSIGNATUREALGORITHM_H

#include <cstdint>
#include <memory>

#include "cryptoki.h"
#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "pkcs11krytokenkey.h"

class PKCS11KRYSignatureAlgorithm : public ZEPKRYSignatureAlgorithm {
public:
    enum Kind : uint32_t {
        MD5_WITH_RSA = 0,
        SHA1_WITH_RSA = 1,
        // The data is signed as given, padded by PKCS#1 v1.5.
        RAW_RSA = 2,
        SHA224_WITH_RSA = 3,
        SHA256_WITH_RSA = 4,
        SHA384_WITH_RSA = 5,
        SHA512_WITH_RSA = 6,
        SHA256_WITH_RSA_PSS = 7,
        SHA384_WITH_RSA_PSS = 8,
        SHA512_WITH_RSA_PSS = 9,
        ECDSA_WITH_SHA256 = 10,
        ECDSA_WITH_SHA384 = 11,
        ECDSA_WITH_SHA512 = 12,
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
    // The kind's combined mechanism when the token lists it; otherwise the
    // bare one (CKM_RSA_PKCS, CKM_RSA_PKCS_PSS, CKM_ECDSA), and from then on
    // the token is given the digest, in a DigestInfo for PKCS#1 v1.5.
    CK_MECHANISM_TYPE chooseMechanism();
    // The chosen mechanism with its parameter: for RSA-PSS, `pss` filled
    // in, which the caller keeps alive for the Init call.
    CK_MECHANISM mechanism(CK_RSA_PKCS_PSS_PARAMS& pss);
    void start(std::unique_lock<std::mutex>& sessionLock);
    // What C_Sign is given for `data` under the chosen mechanism.
    ZEPBuffer toSign(const r_buffer_t& data) const;
    // What C_Sign is given for the toolkit's `digest` of the data.
    ZEPBuffer toSignDigest(const ZEPBuffer& digest) const;
    // The signature of what the token gave: ECDSA's r||s as DER, any other
    // as it is.
    ZEPBuffer signatureOf(const ZEPBuffer& tokenOutput) const;

    const uint32_t kind_;
    PKCS11KRYTokenKey key_;
    bool signsDigest_ = false;
    // The toolkit digest that the parts of a multi-part signature feed while
    // the token is given the digest; null otherwise.
    std::unique_ptr<ZEPKRYDigestAlgorithm> parts_;
};

#endif
