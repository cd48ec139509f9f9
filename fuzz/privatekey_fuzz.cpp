// libFuzzer target for private keys as key files hold them: PKCS#8
// PrivateKeyInfo with a PKCS#1 RSAPrivateKey inside (the module's
// ZEPPrivateKeyInfo), and a bare RSAPrivateKey. An accepted key must encode
// to DER that loads again with the same components.
#include <algorithm>

#include "asn/rsaprivatekey.h"
#include "fuzzcheck.h"
#include "zepexception.h"
#include "zepsubjectpublickeyinfo.h"

namespace {

bool sameComponents(const ZEPPrivateKeyInfo& a, const ZEPPrivateKeyInfo& b) {
    return a.getModulus(false) == b.getModulus(false) && a.getPublicExponent() == b.getPublicExponent() &&
           a.getPrivateExponent() == b.getPrivateExponent() && a.getPrime1() == b.getPrime1() &&
           a.getPrime2() == b.getPrime2() && a.getExponent1() == b.getExponent1() &&
           a.getExponent2() == b.getExponent2() && a.getCoefficient() == b.getCoefficient();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    try {
        ZEPPrivateKeyInfo key(input);
        const ZEPBuffer der = key.getDER();
        const ZEPPrivateKeyInfo again(der);
        fuzz_require(sameComponents(key, again), "PKCS#8 components after a round trip");
        fuzz_require(key.getModulus(true).getLength() <= key.getModulus(false).getLength(), "modulus magnitude");
    } catch (const ZEPASNException&) {
    }

    RSAPrivateKey rsaKey;
    if (rsaKey.read(fuzz_view(data, size)) == ASN_OK) {
        buffer_t encoding;
        fuzz_require(rsaKey.write(encoding) == ASN_OK && encoding.size() == size &&
                         std::equal(encoding.data(), encoding.data() + size, data),
                     "PKCS#1 private key round trip");
    }
    return 0;
}
