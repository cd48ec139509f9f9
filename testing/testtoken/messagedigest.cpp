#include "messagedigest.h"

#include "kry/zepmd5.h"
#include "kry/zepsha1.h"
#include "kry/zepsha224.h"
#include "kry/zepsha384.h"

#include <stdexcept>

namespace testtoken {

namespace {

template <typename Digest>
Bytes digestOf(const Bytes& data) {
    Digest digest;
    digest.update(data.data(), data.size());
    const ZEPBuffer result = digest.final();
    return Bytes(result.getValue(), result.getValue() + result.getLength());
}

// The DER before the digest in a DigestInfo (RFC 8017, section 9.2, note 1):
// SEQUENCE, AlgorithmIdentifier with the digest's OID and NULL parameters,
// OCTET STRING header.
struct DigestFacts {
    CK_MECHANISM_TYPE mechanism;
    Bytes prefix;
    Bytes (*digest)(const Bytes&);
    // The MGF1 paired with the digest; 0 for MD5, which has none.
    CK_RSA_PKCS_MGF_TYPE mgf1;
};

const DigestFacts* findFacts(CK_MECHANISM_TYPE mechanism) {
    static const DigestFacts facts[] = {
        {CKM_MD5,
         {0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10},
         digestOf<ZEPMD5>, 0},
        {CKM_SHA_1, {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14},
         digestOf<ZEPSHA1>, CKG_MGF1_SHA1},
        {CKM_SHA224,
         {0x30, 0x2D, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x04, 0x05, 0x00, 0x04, 0x1C},
         digestOf<ZEPSHA224>, CKG_MGF1_SHA224},
        {CKM_SHA256,
         {0x30, 0x31, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20},
         digestOf<ZEPSHA256>, CKG_MGF1_SHA256},
        {CKM_SHA384,
         {0x30, 0x41, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30},
         digestOf<ZEPSHA384>, CKG_MGF1_SHA384},
        {CKM_SHA512,
         {0x30, 0x51, 0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40},
         digestOf<ZEPSHA512>, CKG_MGF1_SHA512},
    };
    for (const DigestFacts& entry : facts)
        if (entry.mechanism == mechanism) return &entry;
    return nullptr;
}

const DigestFacts& factsOf(CK_MECHANISM_TYPE mechanism) {
    const DigestFacts* facts = findFacts(mechanism);
    if (facts == nullptr) {
        throw std::invalid_argument("no digest mechanism");
    }
    return *facts;
}

}  // namespace

bool MessageDigest::isDigest(CK_MECHANISM_TYPE mechanism) { return findFacts(mechanism) != nullptr; }

CK_RSA_PKCS_MGF_TYPE MessageDigest::mgf1Of(CK_MECHANISM_TYPE mechanism) { return factsOf(mechanism).mgf1; }

Bytes MessageDigest::of(CK_MECHANISM_TYPE mechanism, const Bytes& data) { return factsOf(mechanism).digest(data); }

Bytes MessageDigest::digestInfo(CK_MECHANISM_TYPE mechanism, const Bytes& data) {
    Bytes info = factsOf(mechanism).prefix;
    const Bytes digest = of(mechanism, data);
    info.insert(info.end(), digest.begin(), digest.end());
    return info;
}

}  // namespace testtoken
