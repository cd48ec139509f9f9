// What keydb shows of a public key and of a certificate, in the words and
// forms people compare with openssl's: RFC 4514 names, hexadecimal serial
// numbers, ISO 8601 UTC times, openssl's names of curves.
#ifndef KEYDB_KEYFACTS_H
#define KEYDB_KEYFACTS_H

#include <string>

#include "zepbuffer.h"

class asn_x500name;
class x509_certificate;
class SubjectPublicKeyInfo;

// Lower-case hexadecimal digits, two per byte, nothing between them.
std::string lowerHex(const ZEPBuffer& bytes);

// RFC 4514 text of the DER of a Name; empty for empty DER.
std::string nameText(const ZEPBuffer& nameDER);

// The key id of an RSA key: the SHA-1 of its modulus without leading zero
// bytes, in lower-case hexadecimal. The key database gives the objects it
// writes for a key this CKA_ID.
std::string modulusKeyId(const ZEPBuffer& modulus);
// The key id of an EC key: the SHA-1 of its uncompressed point (04, X, Y),
// in lower-case hexadecimal; used as modulusKeyId is.
std::string ecKeyId(const ZEPBuffer& point);

struct PublicKeyFacts {
    // "RSA", "EC", "ED25519", "ED448", "DSA", or the algorithm's dotted
    // object identifier.
    std::string algorithm;
    // 0 when unknown.
    unsigned int bits = 0;
    // For EC keys: the curve's name as openssl gives it ("prime256v1"), or
    // its dotted object identifier.
    std::string curve;
    // For RSA keys: the modulus (no leading zero bytes); empty for others.
    ZEPBuffer modulus;
    // For EC keys: the point as the subjectPublicKey holds it.
    ZEPBuffer point;
    // The key id: for RSA keys modulusKeyId, for EC keys on the key
    // database's curves the SHA-1 of the point as the subjectPublicKey
    // holds it (RFC 5280's method 1); empty for others.
    std::string keyId;

    // Whether the key database holds keys of the kind: RSA keys, and EC
    // keys on P-256, P-384 or P-521.
    bool isKeyDatabaseKey() const { return !keyId.empty(); }
    // For keys the key database holds: "P-256", "P-384" or "P-521" for EC
    // keys, empty for RSA keys.
    std::string nistCurve() const;

    static PublicKeyFacts of(const SubjectPublicKeyInfo& info);
    static PublicKeyFacts ofDER(const ZEPBuffer& subjectPublicKeyInfoDER);
};

struct CertificateFacts {
    std::string subject;
    std::string issuer;
    // Upper-case hexadecimal, a negative number with a leading "-", as
    // openssl prints it.
    std::string serial;
    // Such as 2026-12-06T10:00:00Z.
    std::string notBefore;
    std::string notAfter;
    PublicKeyFacts key;

    static CertificateFacts of(const x509_certificate& certificate);
    // Throws ZEPASNException when `der` is no certificate.
    static CertificateFacts ofDER(const ZEPBuffer& der);
};

#endif
