// A key as the toolkit hands it around: what kind of key it is, for which
// algorithm, and its material (or a reference to it) as a blob in one of
// the formats below. The blob is wiped when it is released.
#ifndef MERVIL_ZEPKRYKEY_H
#define MERVIL_ZEPKRYKEY_H

#include "zepbuffer.h"

class ZEPKRYKey {
public:
    static constexpr int TYPE_PUBLIC = 1;
    static constexpr int TYPE_PRIVATE = 2;
    static constexpr int TYPE_SECRET = 3;

    static constexpr int ALGORITHM_RSA = 1;
    static constexpr int ALGORITHM_DSA = 2;
    static constexpr int ALGORITHM_EC = 3;

    static constexpr int FORMAT_NONE = 0;
    // The raw key bytes (secret keys).
    static constexpr int FORMAT_CLEAR_BUFFER = 1;
    // DER of an X.509 SubjectPublicKeyInfo.
    static constexpr int FORMAT_SUBJECT_PUBLIC_KEY_INFO = 2;
    // DER of a PKCS#8 PrivateKeyInfo.
    static constexpr int FORMAT_PRIVATE_KEY_INFO = 3;
    // DER of a ZEPPKCS11ASNKeyRecord: the key stays on a token.
    static constexpr int FORMAT_PKCS11_KEY_RECORD = 4;

    // No type or algorithm (0), FORMAT_NONE, no blob.
    ZEPKRYKey() = default;
    ZEPKRYKey(int type, int algorithm, int format = FORMAT_NONE, const ZEPBuffer& keyBlob = ZEPBuffer());

    int getType() const { return type_; }
    int getAlgorithm() const { return algorithm_; }
    int getFormat() const { return format_; }
    const ZEPBuffer& getKeyBlob() const { return keyBlob_; }

    void setType(int type) { type_ = type; }
    void setAlgorithm(int algorithm) { algorithm_ = algorithm; }
    void setFormat(int format) { format_ = format; }
    void setKeyBlob(const ZEPBuffer& keyBlob) { keyBlob_ = keyBlob; }

private:
    int type_ = 0;
    int algorithm_ = 0;
    int format_ = FORMAT_NONE;
    ZEPBuffer keyBlob_;
};

#endif
