#include "rsastandin.h"

#include "cryptokierror.h"
#include "messagedigest.h"

#include <algorithm>
#include <functional>

namespace testtoken {

namespace {

constexpr std::size_t paddingOverhead = 11;  // 00, type, at least 8 padding bytes, 00
constexpr CK_BYTE signatureBlock = 0x01;
constexpr CK_BYTE encryptionBlock = 0x02;
// Encryption padding must be nonzero; real tokens take random bytes.
constexpr CK_BYTE encryptionPadding = 0xA5;

// MGF1 with SHA-1 over the modulus: as many bytes as the modulus has.
Bytes maskOf(const Bytes& modulus) {
    Bytes mask;
    for (CK_BYTE counter = 0; mask.size() < modulus.size(); ++counter) {
        Bytes seed = modulus;
        seed.insert(seed.end(), {0, 0, 0, counter});
        const Bytes part = MessageDigest::of(CKM_SHA_1, seed);
        mask.insert(mask.end(), part.begin(), part.end());
    }
    mask.resize(modulus.size());
    return mask;
}

}  // namespace

RsaStandIn::RsaStandIn(const AttributeValue& modulus)
    : mask_(maskOf(Bytes(std::find_if(modulus.begin(), modulus.end(), [](CK_BYTE b) { return b != 0; }),
                         modulus.end()))) {}

Bytes RsaStandIn::sign(const Bytes& data) const { return masked(block(signatureBlock, data)); }

CK_RV RsaStandIn::verify(const Bytes& data, const Bytes& signature) const {
    if (signature.size() != length()) {
        return CKR_SIGNATURE_LEN_RANGE;
    }
    return sign(data) == signature ? CKR_OK : CKR_SIGNATURE_INVALID;
}

Bytes RsaStandIn::encrypt(const Bytes& data) const { return masked(block(encryptionBlock, data)); }

Bytes RsaStandIn::decrypt(const Bytes& ciphertext) const {
    if (ciphertext.size() != length() || length() < paddingOverhead) {
        throw CryptokiError(CKR_ENCRYPTED_DATA_LEN_RANGE);
    }
    const Bytes plain = masked(ciphertext);
    const auto separator = std::find(plain.begin() + 2, plain.end(), CK_BYTE{0});
    if (plain[0] != 0 || plain[1] != encryptionBlock || separator == plain.end() ||
        separator - plain.begin() < static_cast<std::ptrdiff_t>(paddingOverhead - 1)) {
        throw CryptokiError(CKR_ENCRYPTED_DATA_INVALID);
    }
    return Bytes(separator + 1, plain.end());
}

Bytes RsaStandIn::block(CK_BYTE type, const Bytes& data) const {
    if (data.size() + paddingOverhead > length()) {
        throw CryptokiError(CKR_DATA_LEN_RANGE);
    }
    Bytes block{0, type};
    block.resize(length() - data.size() - 1, type == signatureBlock ? 0xFF : encryptionPadding);
    block.push_back(0);
    block.insert(block.end(), data.begin(), data.end());
    return block;
}

Bytes RsaStandIn::masked(Bytes bytes) const {
    std::transform(bytes.begin(), bytes.end(), mask_.begin(), bytes.begin(), std::bit_xor<>());
    return bytes;
}

}  // namespace testtoken
