#include "asn/asn_time.h"

int asn_time::set_value(int year, int month, int day, int hour, int minute, int second) {
    unsigned long previous = get_tag();
    set_tag(year >= 1950 && year <= 2049 ? UTC_TIME : GENERALIZED_TIME);
    int rc = asn_timebase::set_value(year, month, day, hour, minute, second);
    if (rc != ASN_OK) set_tag(previous);
    return rc;
}

bool asn_time::accepts(const der_tlv& tlv) const {
    return tlv.cls == CLASS_UNIVERSAL && !tlv.constructed && (tlv.tag == UTC_TIME || tlv.tag == GENERALIZED_TIME);
}

int asn_time::decode_content(const der_tlv& tlv, unsigned depth) {
    set_tag(tlv.tag);
    return asn_timebase::decode_content(tlv, depth);
}
