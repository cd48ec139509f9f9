// PEM armour (RFC 7468) for certificates, PKCS#8 and EC private keys and
// PKCS#10 requests: "-----BEGIN <label>-----", base64 in 64-character lines,
// "-----END <label>-----".
#ifndef MERVIL_ZEPPEM_H
#define MERVIL_ZEPPEM_H

#include <string>

#include "asn/asn_object.h"
#include "zepbuffer.h"

class ZEPPEM {
public:
    static constexpr const char* LABEL_CERTIFICATE = "CERTIFICATE";
    static constexpr const char* LABEL_PRIVATE_KEY = "PRIVATE KEY";
    static constexpr const char* LABEL_CERTIFICATE_REQUEST = "CERTIFICATE REQUEST";
    // An RFC 5915 ECPrivateKey, as openssl's "ec" and "ecparam" write it.
    static constexpr const char* LABEL_EC_PRIVATE_KEY = "EC PRIVATE KEY";

    static std::string encode(const ZEPBuffer& der, const char* label);
    // The DER inside the first block with this label; text before and after
    // it is ignored. Input that starts with a SEQUENCE tag (0x30) is taken
    // as DER and returned as it is. Throws ZEPASNException when no
    // well-formed block with the label is found.
    static ZEPBuffer decode(const ZEPBuffer& input, const char* label);

    // encode of the object's DER.
    static std::string write(const asn_object& object, const char* label);
    // decode, then the DER into `object`; throws on either failure.
    static void read(const ZEPBuffer& input, const char* label, asn_object& object);
};

#endif
