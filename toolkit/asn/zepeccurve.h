// The elliptic curves the toolkit's EC keys may lie on: the NIST prime
// curves P-256, P-384 and P-521, known by their namedCurve object
// identifiers (RFC 5480). Each curve checks the values that keys of it
// carry: points (uncompressed only) and private scalars.
//
// The three curves are the only instances; compare them by address.
#ifndef MERVIL_ZEPECCURVE_H
#define MERVIL_ZEPECCURVE_H

#include <cstddef>
#include <string_view>

#include "asn/algorithmidentifier.h"
#include "asn/asn_bitstring.h"
#include "zepbuffer.h"

class ZEPECCurve {
public:
    static const ZEPECCurve P256;
    static const ZEPECCurve P384;
    static const ZEPECCurve P521;

    ZEPECCurve(const ZEPECCurve&) = delete;
    ZEPECCurve& operator=(const ZEPECCurve&) = delete;

    // The curve of a NIST name ("P-256") or of openssl's name
    // ("prime256v1"), exactly as written; null for any other.
    static const ZEPECCurve* find(std::string_view name);
    // The curve that ECParameters name (an AlgorithmIdentifier's or an
    // ECPrivateKey's parameters); null when they name another curve or
    // none, or give the curve explicitly.
    static const ZEPECCurve* find(const asn_any& parameters);
    // As find, but throws ZEPASNException saying why when there is no such
    // curve: no parameters, explicit ones, another curve.
    static const ZEPECCurve& fromParameters(const asn_any& parameters);
    // The curve of CKA_EC_PARAMS (the DER of ECParameters); throws as
    // fromParameters, and when the bytes are no DER element.
    static const ZEPECCurve& fromECParams(const ZEPBuffer& der);

    // Whether an AlgorithmIdentifier is that of EC keys, id-ecPublicKey.
    static bool isKeyAlgorithm(const AlgorithmIdentifier& algorithm);
    // Sets `algorithm` to id-ecPublicKey with this curve's namedCurve as
    // its parameters: the algorithm of keys on the curve.
    void setKeyAlgorithm(AlgorithmIdentifier& algorithm) const;

    // openssl's name: "prime256v1", "secp384r1", "secp521r1".
    const char* getName() const { return name_; }
    // "P-256", "P-384", "P-521".
    const char* getNistName() const { return nistName_; }
    // The size of the field in bits (256, 384, 521): the key size.
    unsigned int getFieldBits() const { return fieldBits_; }
    // The length in bytes of a coordinate, of a private scalar and of each
    // half of a raw signature.
    size_t getLength() const { return (fieldBits_ + 7) / 8; }
    const unsigned long* getOid() const { return oid_; }
    unsigned getOidCount() const { return oidCount_; }
    // The DER of the namedCurve object identifier: CKA_EC_PARAMS, and the
    // parameters of an id-ecPublicKey AlgorithmIdentifier.
    ZEPBuffer getECParams() const;

    // Throws ZEPASNException unless `point` is an uncompressed point of
    // the curve's size: 04, X and Y of getLength() bytes each. Whether the
    // point lies on the curve is left to whoever computes with it.
    void checkPoint(const r_buffer_t& point) const;
    // The point that a BIT STRING holds (a SubjectPublicKeyInfo's key, an
    // ECPrivateKey's publicKey), checked as checkPoint does; a bit string
    // of unused bits is refused.
    ZEPBuffer pointOf(const asn_bitstring& bits) const;
    // The private scalar of big-endian `octets`, with leading zeros added
    // up to getLength() bytes (as CKA_VALUE holds it). Throws
    // ZEPASNException unless 0 < scalar < the group order.
    ZEPBuffer privateScalar(const r_buffer_t& octets) const;

private:
    constexpr ZEPECCurve(const char* name, const char* nistName, unsigned int fieldBits, const unsigned long* oid,
                         const unsigned& oidCount, const unsigned char* order)
        : name_(name), nistName_(nistName), fieldBits_(fieldBits), oid_(oid), oidCount_(oidCount), order_(order) {}

    const char* name_;
    const char* nistName_;
    unsigned int fieldBits_;
    const unsigned long* oid_;
    const unsigned& oidCount_;
    const unsigned char* order_;  // the group order, getLength() bytes
};

#endif
