#include "asn/algorithmidentifier.h"

#include "asn/asn_null.h"

int AlgorithmIdentifier::set_value_with_null(const unsigned long* arcs, unsigned count) {
    asn_null null;
    int rc = algorithm.set_value(arcs, count);
    return rc == ASN_OK ? parameters.set_value(null) : rc;
}
