#include "messagedigest.h"

#include "kry/zepmd5.h"
#include "kry/zepsha1.h"

#include <array>
#include <stdexcept>

namespace testtoken {

namespace {

// The DER before the digest in a DigestInfo: SEQUENCE, AlgorithmIdentifier with
// the digest's OID and NULL parameters, OCTET STRING header.
constexpr std::array<CK_BYTE, 15> sha1Prefix{0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E,
                                             0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
constexpr std::array<CK_BYTE, 18> md5Prefix{0x30, 0x20, 0x30, 0x0C, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                            0x86, 0xF7, 0x0D, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

template <typename Digest>
Bytes digestOf(const Bytes& data) {
    Digest digest;
    digest.update(data.data(), data.size());
    const ZEPBuffer result = digest.final();
    return Bytes(result.getValue(), result.getValue() + result.getLength());
}

}  // namespace

bool MessageDigest::isDigest(CK_MECHANISM_TYPE mechanism) noexcept {
    return mechanism == CKM_SHA_1 || mechanism == CKM_MD5;
}

Bytes MessageDigest::of(CK_MECHANISM_TYPE mechanism, const Bytes& data) {
    switch (mechanism) {
        case CKM_SHA_1:
            return digestOf<ZEPSHA1>(data);
        case CKM_MD5:
            return digestOf<ZEPMD5>(data);
        default:
            throw std::invalid_argument("no digest mechanism");
    }
}

Bytes MessageDigest::digestInfo(CK_MECHANISM_TYPE mechanism, const Bytes& data) {
    Bytes info = mechanism == CKM_SHA_1 ? Bytes(sha1Prefix.begin(), sha1Prefix.end())
                                        : Bytes(md5Prefix.begin(), md5Prefix.end());
    const Bytes digest = of(mechanism, data);
    info.insert(info.end(), digest.begin(), digest.end());
    return info;
}

}  // namespace testtoken
