// The token mechanism of one signature scheme, chosen as the module
// chooses it: the combined mechanism (CKM_SHA256_RSA_PKCS,
// CKM_SHA256_RSA_PKCS_PSS, CKM_ECDSA_SHA256 ...) when the token lists it,
// else the bare one (CKM_RSA_PKCS over the DigestInfo of a toolkit digest,
// CKM_RSA_PKCS_PSS and CKM_ECDSA over the digest itself). RSA-PSS uses MGF1
// of the same digest and a salt as long as the digest.
#ifndef KEYDB_SIGNATUREMECHANISM_H
#define KEYDB_SIGNATUREMECHANISM_H

#include "cryptoki.h"
#include "kry/zepkrydigesttype.h"

struct SignatureMechanism {
    CK_MECHANISM_TYPE combined;
    ZEPKRYDigestType digest;
    // For RSA-PSS, the digest and mask generation function the token is
    // told; zero for PKCS#1 v1.5.
    CK_MECHANISM_TYPE pssHash = 0;
    CK_RSA_PKCS_MGF_TYPE mgf = 0;
    bool ecdsa = false;

    bool pss() const { return pssHash != 0; }
    CK_MECHANISM_TYPE bare() const { return ecdsa ? CKM_ECDSA : pss() ? CKM_RSA_PKCS_PSS : CKM_RSA_PKCS; }
    // Whether the bare mechanism signs the DigestInfo rather than the
    // digest.
    bool signsDigestInfo() const { return !ecdsa && !pss(); }
};

#endif
