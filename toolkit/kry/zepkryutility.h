// Key and digest helpers of the toolkit.
#ifndef MERVIL_ZEPKRYUTILITY_H
#define MERVIL_ZEPKRYUTILITY_H

#include "zepbuffer.h"

class ZEPKRYAlgorithmFactory;
class ZEPKRYKey;

class ZEPKRYUtility {
public:
    // The SHA-1 (20 bytes), MD5 (16 bytes) or SHA-2 (28, 32, 48 or 64
    // bytes) digest of `data`. With a factory, its digest maker computes
    // it; without one, or when the factory offers no such digest (its maker
    // returns null), the toolkit's own ZEPSHA1, ZEPMD5 or ZEPSHA224 ...
    // ZEPSHA512 does.
    static ZEPBuffer digestData_SHA1(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);
    static ZEPBuffer digestData_MD5(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);
    static ZEPBuffer digestData_SHA224(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);
    static ZEPBuffer digestData_SHA256(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);
    static ZEPBuffer digestData_SHA384(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);
    static ZEPBuffer digestData_SHA512(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr);

    // The size of a key in bits: for an RSA key in SubjectPublicKeyInfo or
    // PrivateKeyInfo format the bit length of its modulus, for an EC key in
    // SubjectPublicKeyInfo format the field size of its curve (256, 384,
    // 521), for a token key record the key size it holds. 0 when that is
    // unknown: another format, another algorithm, or an EC key of a curve
    // the toolkit does not know. A blob that is no DER of its format, or an
    // EC key whose point does not fit its curve, throws ZEPASNException.
    static unsigned int getKeySizeInBits(const ZEPKRYKey& key);
};

#endif
