// Object identifiers used by the toolkit, as arrays of arcs with their
// counts, and the short names of X.500 attribute types.
#ifndef MERVIL_ZEPASNOID_H
#define MERVIL_ZEPASNOID_H

#include <string>

// Declares an arc array NAME and its count NAME_COUNT.
#define ZEP_OID_DECLARE(name)           \
    static const unsigned long name[]; \
    static const unsigned name##_COUNT;

class ZEPASNOID {
public:
    ZEP_OID_DECLARE(VALUE_RSA)                  // rsaEncryption 1.2.840.113549.1.1.1
    ZEP_OID_DECLARE(VALUE_MD5WithRSA)           // md5WithRSAEncryption 1.2.840.113549.1.1.4
    ZEP_OID_DECLARE(VALUE_SHA1WithRSA)          // sha1WithRSAEncryption 1.2.840.113549.1.1.5
    ZEP_OID_DECLARE(VALUE_SHA256WithRSA)        // sha256WithRSAEncryption 1.2.840.113549.1.1.11
    ZEP_OID_DECLARE(VALUE_SHA1DigestAlgorithm)  // 1.3.14.3.2.26
    ZEP_OID_DECLARE(VALUE_MD5DigestAlgorithm)   // 1.2.840.113549.2.5

    // Name attribute types: X.500 (2.5.4.x), PKCS#9 emailAddress, domainComponent.
    ZEP_OID_DECLARE(VALUE_CommonName)
    ZEP_OID_DECLARE(VALUE_Surname)
    ZEP_OID_DECLARE(VALUE_SerialNumber)
    ZEP_OID_DECLARE(VALUE_Country)
    ZEP_OID_DECLARE(VALUE_Locality)
    ZEP_OID_DECLARE(VALUE_StateOrProvince)
    ZEP_OID_DECLARE(VALUE_Street)
    ZEP_OID_DECLARE(VALUE_Organization)
    ZEP_OID_DECLARE(VALUE_OrganizationalUnit)
    ZEP_OID_DECLARE(VALUE_Title)
    ZEP_OID_DECLARE(VALUE_GivenName)
    ZEP_OID_DECLARE(VALUE_EmailAddress)
    ZEP_OID_DECLARE(VALUE_DomainComponent)

    // SHA-2 digests, RSA PKCS#1 v1.5 signatures over them, RSASSA-PSS and
    // its mask generation function (RFC 4055, RFC 8017).
    ZEP_OID_DECLARE(VALUE_SHA224DigestAlgorithm)  // 2.16.840.1.101.3.4.2.4
    ZEP_OID_DECLARE(VALUE_SHA256DigestAlgorithm)  // 2.16.840.1.101.3.4.2.1
    ZEP_OID_DECLARE(VALUE_SHA384DigestAlgorithm)  // 2.16.840.1.101.3.4.2.2
    ZEP_OID_DECLARE(VALUE_SHA512DigestAlgorithm)  // 2.16.840.1.101.3.4.2.3
    ZEP_OID_DECLARE(VALUE_SHA224WithRSA)          // sha224WithRSAEncryption 1.2.840.113549.1.1.14
    ZEP_OID_DECLARE(VALUE_SHA384WithRSA)          // sha384WithRSAEncryption 1.2.840.113549.1.1.12
    ZEP_OID_DECLARE(VALUE_SHA512WithRSA)          // sha512WithRSAEncryption 1.2.840.113549.1.1.13
    ZEP_OID_DECLARE(VALUE_RSASSAPSS)              // id-RSASSA-PSS 1.2.840.113549.1.1.10
    ZEP_OID_DECLARE(VALUE_MGF1)                   // id-mgf1 1.2.840.113549.1.1.8
    // Elliptic-curve keys and signatures (RFC 5480, RFC 5758).
    ZEP_OID_DECLARE(VALUE_ECPublicKey)       // id-ecPublicKey 1.2.840.10045.2.1
    ZEP_OID_DECLARE(VALUE_Prime256v1)        // prime256v1 (P-256) 1.2.840.10045.3.1.7
    ZEP_OID_DECLARE(VALUE_Secp384r1)         // secp384r1 (P-384) 1.3.132.0.34
    ZEP_OID_DECLARE(VALUE_Secp521r1)         // secp521r1 (P-521) 1.3.132.0.35
    ZEP_OID_DECLARE(VALUE_ECDSAWithSHA256)   // ecdsa-with-SHA256 1.2.840.10045.4.3.2
    ZEP_OID_DECLARE(VALUE_ECDSAWithSHA384)   // ecdsa-with-SHA384 1.2.840.10045.4.3.3
    ZEP_OID_DECLARE(VALUE_ECDSAWithSHA512)   // ecdsa-with-SHA512 1.2.840.10045.4.3.4

    // The short name of an attribute type ("CN", "emailAddress") in dotted
    // form, or empty when it has none.
    static std::string attributeShortName(const std::string& dottedOid);
    // The reverse of attributeShortName, ignoring case; empty when unknown.
    static std::string attributeOid(const std::string& shortName);
    // The string type (asn_string tag) a value of that attribute type is
    // made as from text: PrintableString for country, serial number and
    // dnQualifier, IA5String for e-mail and domain components, else UTF8.
    static unsigned long attributeStringTag(const std::string& dottedOid);
};

#endif
