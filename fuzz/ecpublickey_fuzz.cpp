// libFuzzer target for EC public keys: a SubjectPublicKeyInfo, and the
// point of a key object (CKA_EC_POINT) on each curve. An accepted key must
// encode back to the same bytes: DER leaves no other way to write it.
#include "asn/zepecpublickey.h"
#include "fuzzcheck.h"
#include "zepexception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    try {
        const ZEPECPublicKey key(input);
        fuzz_require(key.getDER() == input, "SubjectPublicKeyInfo round trip");
    } catch (const ZEPASNException&) {
    }

    for (const ZEPECCurve* curve : {&ZEPECCurve::P256, &ZEPECCurve::P384, &ZEPECCurve::P521}) {
        try {
            const ZEPECPublicKey key = ZEPECPublicKey::fromToken(curve->getECParams(), input);
            fuzz_require(&key.getCurve() == curve, "curve of the token's parameters");
            fuzz_require(input == key.getPoint() || input == key.getECPoint(), "CKA_EC_POINT round trip");
        } catch (const ZEPASNException&) {
        }
    }
    return 0;
}
