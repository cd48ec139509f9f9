// ECDSA as the token pretends to do it.
#ifndef TESTTOKEN_ECDSASTANDIN_H
#define TESTTOKEN_ECDSASTANDIN_H

#include "testtoken/testtokencontrol.h"

#include <cstddef>

namespace testtoken {

// Signs r||s, each half as long as the curve's field: r is what is signed, its
// leftmost bytes kept and leading zeros added up to the half's length, s is r's
// bitwise complement. Results are repeatable and show what the token was given.
class EcdsaStandIn {
public:
    // CKR_KEY_TYPE_INCONSISTENT (thrown) unless the CKA_EC_PARAMS name P-256,
    // P-384 or P-521.
    explicit EcdsaStandIn(const AttributeValue& ecParams);

    std::size_t length() const noexcept { return 2 * half_; }

    Bytes sign(const Bytes& data) const;
    // CKR_OK, CKR_SIGNATURE_INVALID or CKR_SIGNATURE_LEN_RANGE.
    CK_RV verify(const Bytes& data, const Bytes& signature) const;

private:
    std::size_t half_;
};

}  // namespace testtoken

#endif
