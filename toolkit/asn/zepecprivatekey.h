// An EC private key: its curve, its private scalar and, when the key
// carries it, its public point. Read from a PKCS#8 PrivateKeyInfo of
// algorithm id-ecPublicKey holding an RFC 5915 ECPrivateKey, or from a bare
// ECPrivateKey (PEM "EC PRIVATE KEY"); written as PKCS#8.
//
// The curve may be named by the AlgorithmIdentifier's parameters or by the
// ECPrivateKey's own; where both name one, they must agree. Anything the
// toolkit cannot use (another algorithm or curve, explicit curve
// parameters, a scalar out of range, a compressed or malformed public
// point) is refused with ZEPASNException. The scalar lies only in storage
// that is wiped when released, and no message quotes it.
#ifndef MERVIL_ZEPECPRIVATEKEY_H
#define MERVIL_ZEPECPRIVATEKEY_H

#include "asn/zepeccurve.h"
#include "zepbuffer.h"

class ECPrivateKey;

class ZEPECPrivateKey {
public:
    static ZEPECPrivateKey fromPrivateKeyInfo(const ZEPBuffer& der);
    static ZEPECPrivateKey fromECPrivateKey(const ZEPBuffer& der);

    const ZEPECCurve& getCurve() const { return *curve_; }
    // The scalar, big-endian and padded with leading zeros to the curve's
    // length, as CKA_VALUE holds it.
    const ZEPBuffer& getValue() const { return value_; }
    // The uncompressed public point, or empty when the key has none.
    const ZEPBuffer& getPublicPoint() const { return publicPoint_; }

    // The DER of the PKCS#8 PrivateKeyInfo: the curve in the
    // AlgorithmIdentifier, an ECPrivateKey of version 1 with the padded
    // scalar and the public point when there is one, as openssl writes it.
    ZEPBuffer getDER() const;

private:
    // `outerParameters` are those of the PKCS#8 AlgorithmIdentifier, null
    // for a bare ECPrivateKey.
    ZEPECPrivateKey(const ECPrivateKey& key, const asn_any* outerParameters);

    const ZEPECCurve* curve_;
    ZEPBuffer value_;
    ZEPBuffer publicPoint_;
};

#endif
