// PrivateKeyInfo ::= SEQUENCE { version INTEGER, privateKeyAlgorithm
//     AlgorithmIdentifier, privateKey OCTET STRING,
//     attributes [0] IMPLICIT Attributes OPTIONAL }   (PKCS#8)
// The private key octets carry their own security flag, set unless the
// maker says otherwise.
#ifndef MERVIL_PRIVATEKEYINFO_H
#define MERVIL_PRIVATEKEYINFO_H

#include "asn/algorithmidentifier.h"
#include "asn/asn_attribute.h"
#include "asn/asn_integer.h"
#include "asn/asn_octetstring.h"

class PrivateKeyInfo : public asn_sequence {
public:
    explicit PrivateKeyInfo(int security = 0, int keySecurity = 1)
        : asn_sequence(security), version(security), privateKeyAlgorithm(security), privateKey(keySecurity),
          attributes(security) {
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
