// Turns the result code of an ASN.1 call into an exception, so that
// encoders and decoders built on the object model read straight through.
#ifndef MERVIL_ZEPASNCHECK_H
#define MERVIL_ZEPASNCHECK_H

#include "asn/asn_error.h"
#include "zepexception.h"

// Throws ZEPASNException with the caller's source position (ZEP_HERE) and
// `rc` as its code when `rc` is not ASN_OK.
inline void zep_asn_check(const char* file, int line, int rc) {
    if (rc != ASN_OK) throw ZEPASNException(file, line, rc, asn_error_text(rc));
}

#endif
