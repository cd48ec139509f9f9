// libFuzzer target for EC private keys: PKCS#8 PrivateKeyInfo and the bare
// RFC 5915 ECPrivateKey. An accepted key must have a scalar of its curve's
// length and a point of the point's length or none, and its PKCS#8
// encoding must load again with the same curve, scalar and point.
#include "asn/zepecprivatekey.h"
#include "fuzzcheck.h"
#include "zepexception.h"

namespace {

void check(const ZEPECPrivateKey& key) {
    const size_t length = key.getCurve().getLength();
    fuzz_require(key.getValue().getLength() == length, "scalar of the curve's length");
    fuzz_require(key.getPublicPoint().empty() || key.getPublicPoint().getLength() == 1 + 2 * length,
                 "public point of the curve's length");
    const ZEPECPrivateKey again = ZEPECPrivateKey::fromPrivateKeyInfo(key.getDER());
    fuzz_require(&again.getCurve() == &key.getCurve() && again.getValue() == key.getValue() &&
                     again.getPublicPoint() == key.getPublicPoint(),
                 "PKCS#8 round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    try {
        check(ZEPECPrivateKey::fromPrivateKeyInfo(input));
    } catch (const ZEPASNException&) {
    }
    try {
        check(ZEPECPrivateKey::fromECPrivateKey(input));
    } catch (const ZEPASNException&) {
    }
    return 0;
}
