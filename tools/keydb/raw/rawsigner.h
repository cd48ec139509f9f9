// Signs with one private key through direct Cryptoki calls: C_SignInit and
// C_Sign for each message, in a session of its own, with the mechanism the
// module would choose for the scheme (see SignatureMechanism; the choice is
// made once). It is the least such a signature through the module can
// cost, which is what keydb speed and the benchmarks hold the module
// against. The key is looked up once, by CKA_ID.
#ifndef KEYDB_RAWSIGNER_H
#define KEYDB_RAWSIGNER_H

#include "raw/rawsession.h"
#include "raw/signaturemechanism.h"

class RawSigner {
public:
    // Throws std::runtime_error when the session cannot be had or no
    // private key has the CKA_ID `id`.
    RawSigner(const RawCryptoki& cryptoki, CK_SLOT_ID slot, const ZEPBuffer& pin, const ZEPBuffer& id,
              const SignatureMechanism& mechanism);

    // The signature of `message` by the scheme.
    ZEPBuffer sign(const ZEPBuffer& message);

private:
    CK_OBJECT_HANDLE findKey(const ZEPBuffer& id) const;
    // Whether the token's mechanism list holds `type`, as the module asks.
    bool lists(CK_SLOT_ID slot, CK_MECHANISM_TYPE type) const;

    RawSession session_;
    CK_OBJECT_HANDLE key_;
    SignatureMechanism mechanism_;
    bool combined_;
};

#endif
