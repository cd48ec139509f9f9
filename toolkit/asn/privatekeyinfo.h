// PrivateKeyInfo ::= SEQUENCE { version INTEGER, privateKeyAlgorithm
//     AlgorithmIdentifier, privateKey OCTET STRING,
//     attributes [0] IMPLICIT Attributes OPTIONAL }   (PKCS#8)
// The private key octets are held with the security flag always set.
#ifndef MERVIL_PRIVATEKEYINFO_H
#define MERVIL_PRIVATEKEYINFO_H

#include "asn/algorithmidentifier.h"
#include "asn/asn_attribute.h"
#include "asn/asn_integer.h"
#include "asn/asn_octetstring.h"

class PrivateKeyInfo : public asn_sequence {
public:
    explicit PrivateKeyInfo(int security = 0)
        : asn_sequence(security), version(security), privateKeyAlgorithm(security), privateKey(1), attributes(security) {
        attributes.set_optional(true);
        register_child(&version);
        register_child(&privateKeyAlgorithm);
        register_child(&privateKey);
        register_child(&attributes);
    }
    ASN_COPYABLE(PrivateKeyInfo)

    asn_integer version;
    AlgorithmIdentifier privateKeyAlgorithm;
    asn_octetstring privateKey;
    asn_attributes attributes;
};

#endif
