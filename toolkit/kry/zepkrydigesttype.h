// One of the toolkit's digests as a value: its name and length, the digest
// of data, the AlgorithmIdentifier that names it and the PKCS#1 DigestInfo
// that an RSA PKCS#1 v1.5 signature over a digest of it signs. Both carry
// NULL parameters, as PKCS#1 and RFC 4055 write digest identifiers.
#ifndef MERVIL_ZEPKRYDIGESTTYPE_H
#define MERVIL_ZEPKRYDIGESTTYPE_H

#include <cstddef>

#include "zepbuffer.h"

class AlgorithmIdentifier;
class ZEPKRYAlgorithmFactory;

class ZEPKRYDigestType {
public:
    enum Id { MD5, SHA1, SHA224, SHA256, SHA384, SHA512 };

    // Implicit, so that the ids name the digests: ZEPKRYDigestType::SHA256.
    constexpr ZEPKRYDigestType(Id id) : id_(id) {}
    constexpr Id getId() const { return id_; }
    bool operator==(const ZEPKRYDigestType&) const = default;

    // "MD5", "SHA-1", "SHA-224" ...
    const char* getName() const;
    // In bytes.
    size_t getLength() const;
    // The digest of `data` by the factory's digest when it offers one, else
    // by the toolkit's own (ZEPKRYUtility::digestData_SHA256 and so on).
    ZEPBuffer digestData(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory = nullptr) const;
    // Sets `out` to the digest's object identifier with NULL parameters.
    void getAlgorithmIdentifier(AlgorithmIdentifier& out) const;
    // The DER of the DigestInfo of `digest`, a digest of this type; throws
    // ZEPASNException when it has another length.
    ZEPBuffer getDigestInfo(const ZEPBuffer& digest) const;

private:
    Id id_;
};

#endif
