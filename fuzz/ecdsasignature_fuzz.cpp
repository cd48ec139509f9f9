// libFuzzer target for ECDSA signature values, read as DER for each
// curve's length and as a raw r||s. What decodes must encode back to the
// same bytes, both ways.
#include "asn/zepecdsasignature.h"
#include "fuzzcheck.h"
#include "zepexception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    for (size_t length : {32, 48, 66}) {
        try {
            const ZEPBuffer raw = ZEPECDSASignature::decode(input, length);
            fuzz_require(raw.getLength() == 2 * length, "r||s of the curve's length");
            fuzz_require(ZEPECDSASignature::encode(raw) == input, "Ecdsa-Sig-Value round trip");
        } catch (const ZEPASNException&) {
        }
    }
    try {
        const ZEPBuffer der = ZEPECDSASignature::encode(input);
        fuzz_require(ZEPECDSASignature::decode(der, size / 2) == input, "raw signature round trip");
    } catch (const ZEPASNException&) {
    }
    return 0;
}
