// libFuzzer target for public keys: an X.509 SubjectPublicKeyInfo holding a
// PKCS#1 RSAPublicKey (the module's ZEPSubjectPublicKeyInfo) and a bare
// RSAPublicKey. An accepted key must encode to DER that loads again with
// the same modulus and exponent.
#include <algorithm>

#include "asn/rsapublickey.h"
#include "fuzzcheck.h"
#include "zepexception.h"
#include "zepsubjectpublickeyinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    try {
        ZEPSubjectPublicKeyInfo key(input);
        const ZEPSubjectPublicKeyInfo again(key.getDER());
        fuzz_require(key.getModulus(false) == again.getModulus(false) &&
                         key.getPublicExponent() == again.getPublicExponent(),
                     "SubjectPublicKeyInfo components after a round trip");
        ZEPSubjectPublicKeyInfo copy(key);
        fuzz_require(copy.getModulus(true) == key.getModulus(true), "copied public key");
    } catch (const ZEPASNException&) {
    }

    RSAPublicKey rsaKey;
    if (rsaKey.read(fuzz_view(data, size)) == ASN_OK) {
        buffer_t encoding;
        fuzz_require(rsaKey.write(encoding) == ASN_OK && encoding.size() == size &&
                         std::equal(encoding.data(), encoding.data() + size, data),
                     "PKCS#1 public key round trip");
    }
    return 0;
}
