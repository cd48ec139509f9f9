// RSASSA-PSS-params ::= SEQUENCE {
//     hashAlgorithm [0] HashAlgorithm DEFAULT sha1,
//     maskGenAlgorithm [1] MaskGenAlgorithm DEFAULT mgf1SHA1,
//     saltLength [2] INTEGER DEFAULT 20,
//     trailerField [3] TrailerField DEFAULT trailerFieldBC }   (RFC 8017)
// The fields are EXPLICIT and optional: one holding its default is left
// absent, as DER requires. The mask generation algorithm's parameters are
// the AlgorithmIdentifier of its digest.
#ifndef MERVIL_RSASSAPSSPARAMS_H
#define MERVIL_RSASSAPSSPARAMS_H

#include "asn/algorithmidentifier.h"
#include <initializer_list>

#include "asn/asn_integer.h"

class RSASSAPSSParams : public asn_sequence {
public:
    explicit RSASSAPSSParams(int security = 0)
        : asn_sequence(security),
          hashAlgorithm(security),
          maskGenAlgorithm(security),
          saltLength(security),
          trailerField(security) {
        unsigned long tag = 0;
        for (asn_object* child :
             std::initializer_list<asn_object*>{&hashAlgorithm, &maskGenAlgorithm, &saltLength, &trailerField}) {
            child->set_explicit_tag(tag++);
            child->set_optional(true);
            register_child(child);
        }
    }
    ASN_COPYABLE(RSASSAPSSParams)

    AlgorithmIdentifier hashAlgorithm;
    AlgorithmIdentifier maskGenAlgorithm;
    asn_integer saltLength;
    asn_integer trailerField;
};

#endif
