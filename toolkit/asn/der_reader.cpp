#include "asn/der_reader.h"

#include "asn/asn_error.h"

int der_reader::peek(der_tlv& tlv) const {
    const unsigned char* p = next_;
    if (p == end_) return ASN_TRUNCATED;
    tlv.start = p;
    unsigned char identifier = *p++;
    tlv.cls = identifier & 0xC0;
    tlv.constructed = (identifier & 0x20) != 0;
    tlv.tag = identifier & 0x1F;
    if (tlv.tag == 0x1F) {
        // High tag number: base-128 digits, minimal, at least 31.
        unsigned long tag = 0;
        for (int digits = 0;; ++digits) {
            if (p == end_) return ASN_TRUNCATED;
            unsigned char digit = *p++;
            if (digits == 0 && digit == 0x80) return ASN_NOT_DER;
            if (digits == 4) return ASN_UNSUPPORTED;
            tag = (tag << 7) | (digit & 0x7F);
            if (!(digit & 0x80)) break;
        }
        if (tag < 0x1F) return ASN_NOT_DER;
        tlv.tag = tag;
    }
    if (p == end_) return ASN_TRUNCATED;
    unsigned char first = *p++;
    size_t length = first;
    if (first == 0x80) return ASN_BAD_LENGTH;  // indefinite
    if (first > 0x80) {
        size_t count = first & 0x7F;
        if (count > sizeof(size_t) || count > 4) return first == 0xFF ? ASN_BAD_LENGTH : ASN_UNSUPPORTED;
        if (static_cast<size_t>(end_ - p) < count) return ASN_TRUNCATED;
        if (p[0] == 0) return ASN_BAD_LENGTH;
        length = 0;
        for (size_t i = 0; i < count; ++i) length = (length << 8) | *p++;
        if (length < 0x80) return ASN_BAD_LENGTH;
    }
    if (static_cast<size_t>(end_ - p) < length) return ASN_TRUNCATED;
    tlv.content = p;
    tlv.length = length;
    return ASN_OK;
}

int der_reader::next(der_tlv& tlv) {
    int rc = peek(tlv);
    if (rc == ASN_OK) next_ = tlv.content + tlv.length;
    return rc;
}

int der_check_elements(const unsigned char* data, size_t length, unsigned depth) {
    if (depth > ASN_MAX_DEPTH) return ASN_TOO_DEEP;
    der_reader reader(data, length);
    do {
        der_tlv tlv;
        int rc = reader.next(tlv);
        if (rc == ASN_OK && tlv.constructed && tlv.length > 0)
            rc = der_check_elements(tlv.content, tlv.length, depth + 1);
        if (rc != ASN_OK) return rc;
    } while (!reader.at_end());
    return ASN_OK;
}
