#include "ecdsastandin.h"

#include "cryptokierror.h"

#include <algorithm>

namespace testtoken {

namespace {

// The field length of the curve that DER-encoded namedCurve parameters name.
std::size_t halfOf(const AttributeValue& ecParams) {
    const Bytes p256{0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    const Bytes p384{0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x22};
    const Bytes p521{0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x23};
    if (ecParams == p256) {
        return 32;
    }
    if (ecParams == p384) {
        return 48;
    }
    if (ecParams == p521) {
        return 66;
    }
    throw CryptokiError(CKR_KEY_TYPE_INCONSISTENT);
}

}  // namespace

EcdsaStandIn::EcdsaStandIn(const AttributeValue& ecParams) : half_(halfOf(ecParams)) {}

Bytes EcdsaStandIn::sign(const Bytes& data) const {
    const std::size_t kept = std::min(data.size(), half_);
    Bytes signature(half_ - kept, 0);
    signature.insert(signature.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(kept));
    for (std::size_t i = 0; i < half_; ++i) {
        signature.push_back(static_cast<CK_BYTE>(~signature[i]));
    }
    return signature;
}

CK_RV EcdsaStandIn::verify(const Bytes& data, const Bytes& signature) const {
    if (signature.size() != length()) {
        return CKR_SIGNATURE_LEN_RANGE;
    }
    return sign(data) == signature ? CKR_OK : CKR_SIGNATURE_INVALID;
}

}  // namespace testtoken
