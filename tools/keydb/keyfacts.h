// What keydb shows of a public key and of a certificate, in the words and
// forms people compare with openssl's: RFC 4514 names, hexadecimal serial
// numbers, ISO 8601 UTC times.
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

struct PublicKeyFacts {
    // "RSA", or the algorithm's dotted object identifier.
    std::string algorithm;
    unsigned int bits = 0;
    // The CKA_ID the key database gives the key and its certificates: the
    // SHA-1 of the RSA modulus without leading zero bytes, in lower-case
    // hexadecimal. Empty for other algorithms.
    std::string id;

    static PublicKeyFacts of(const SubjectPublicKeyInfo& info);
    static PublicKeyFacts ofDER(const ZEPBuffer& subjectPublicKeyInfoDER);
};

struct CertificateFacts {
    std::string subject;
    std::string issuer;
    // Upper-case hexadecimal of the unsigned value, as openssl prints it.
    std::string serial;
    // Such as 2026-12-06T10:00:00Z.
    std::string notBefore;
    std::string notAfter;
    PublicKeyFacts key;

    static CertificateFacts of(const x509_certificate& certificate);
};

#endif
