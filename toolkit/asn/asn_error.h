// Result codes of the ASN.1 object model. Every read, write and value
// access returns ASN_OK (0) or one of these; ZEPASNException carries the
// same numbers as its code.
#ifndef MERVIL_ASN_ERROR_H
#define MERVIL_ASN_ERROR_H

enum asn_error : int {
    ASN_OK = 0,
    ASN_TRUNCATED = 5801,      // input ends inside an element
    ASN_BAD_TAG = 5802,        // an element of another type than expected
    ASN_BAD_LENGTH = 5803,     // indefinite, reserved or non-minimal length
    ASN_TRAILING_DATA = 5804,  // bytes left over after the last element
    ASN_NOT_DER = 5805,        // content valid in BER but not in DER
    ASN_BAD_VALUE = 5806,      // content that is no value of the type
    ASN_TOO_DEEP = 5807,       // nesting deeper than ASN_MAX_DEPTH
    ASN_NO_VALUE = 5808,       // writing or reading a value that was never set
    ASN_UNSUPPORTED = 5809,    // valid, but beyond this implementation's range
    ASN_BAD_ARGUMENT = 5810    // a setter was given something it cannot store
};

// Constructed elements nested deeper than this are refused when decoding.
constexpr unsigned ASN_MAX_DEPTH = 64;

// A short English description of a result code, for exception messages.
const char* asn_error_text(int code);

#endif
