// The digests the token computes for real: CKM_MD5, CKM_SHA_1 and CKM_SHA224 ...
// CKM_SHA512.
#ifndef TESTTOKEN_MESSAGEDIGEST_H
#define TESTTOKEN_MESSAGEDIGEST_H

#include "testtoken/testtokencontrol.h"

namespace testtoken {

class MessageDigest {
public:
    MessageDigest() = delete;

    static bool isDigest(CK_MECHANISM_TYPE mechanism);
    // The MGF1 that goes with the digest, as the standard pairs them; 0 for MD5.
    static CK_RSA_PKCS_MGF_TYPE mgf1Of(CK_MECHANISM_TYPE mechanism);
    // The digest of data; the mechanism must be one isDigest accepts.
    static Bytes of(CK_MECHANISM_TYPE mechanism, const Bytes& data);
    // The DER of the PKCS#1 DigestInfo of data's digest: what a combined
    // digest-and-sign mechanism signs.
    static Bytes digestInfo(CK_MECHANISM_TYPE mechanism, const Bytes& data);
};

}  // namespace testtoken

#endif
