#include "asn/asn_error.h"

const char* asn_error_text(int code) {
    switch (code) {
    case ASN_OK: return "no error";
    case ASN_TRUNCATED: return "DER input truncated";
    case ASN_BAD_TAG: return "unexpected DER tag";
    case ASN_BAD_LENGTH: return "bad DER length";
    case ASN_TRAILING_DATA: return "data after the DER element";
    case ASN_NOT_DER: return "encoding is not DER";
    case ASN_BAD_VALUE: return "invalid ASN.1 value";
    case ASN_TOO_DEEP: return "ASN.1 nesting too deep";
    case ASN_NO_VALUE: return "ASN.1 value not set";
    case ASN_UNSUPPORTED: return "ASN.1 value out of supported range";
    case ASN_BAD_ARGUMENT: return "bad argument for ASN.1 value";
    default: return "unknown ASN.1 error";
    }
}
