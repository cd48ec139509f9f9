// Signs with one private key through direct Cryptoki calls: C_SignInit and
// C_Sign with CKM_SHA1_RSA_PKCS for each message, in a session of its own.
// It is the least a SHA-1 signature through the module can cost, which is
// what keydb speed and the benchmarks hold the module against. The key is
// looked up once, by CKA_ID.
#ifndef KEYDB_RAWSIGNER_H
#define KEYDB_RAWSIGNER_H

#include "raw/rawsession.h"

class RawSigner {
public:
    // Throws std::runtime_error when the session cannot be had or no
    // private key has the CKA_ID `id`.
    RawSigner(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin, const ZEPBuffer& id);

    // The PKCS#1 v1.5 signature of the SHA-1 of `message`.
    ZEPBuffer sign(const ZEPBuffer& message);

private:
    CK_OBJECT_HANDLE findKey(const ZEPBuffer& id) const;

    RawSession session_;
    CK_OBJECT_HANDLE key_;
};

#endif
