#include "asn/zepecdsasignature.h"

#include <algorithm>
#include <string>

#include "asn/ecdsasigvalue.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// One half of a raw signature as a minimal positive INTEGER.
void setHalf(asn_integer& integer, const unsigned char* half, size_t length) {
    const unsigned char* first = std::find_if(half, half + length, [](unsigned char byte) { return byte != 0; });
    if (first == half + length) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "ECDSA signature with r or s of 0");
    ZEPBuffer content;
    if (*first & 0x80) content.append(1, "\0");
    content.append(static_cast<size_t>(half + length - first), first);
    zep_asn_check(ZEP_HERE, integer.set_value(content));
}

// A minimal positive INTEGER as `length` big-endian bytes.
void appendHalf(ZEPBuffer& raw, const asn_integer& integer, size_t length) {
    const r_buffer_t content = integer.content_view();
    if (integer.is_negative() || (content.len > 1 && content.data[0] == 0 && !(content.data[1] & 0x80)))
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "ECDSA signature with a negative or non-minimal r or s");
    ZEPBuffer magnitude;
    zep_asn_check(ZEP_HERE, integer.get_unsigned(magnitude));
    if (magnitude.empty()) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "ECDSA signature with r or s of 0");
    if (magnitude.getLength() > length)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE,
                              ZEPString("ECDSA signature with r or s longer than ") + std::to_string(length).c_str() +
                                  " bytes");
    raw.append(length - magnitude.getLength(), nullptr);
    raw.append(magnitude);
}

}  // namespace

ZEPBuffer ZEPECDSASignature::encode(const ZEPBuffer& raw) {
    const size_t half = raw.getLength() / 2;
    if (raw.empty() || raw.getLength() % 2 != 0)
        throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE,
                              ZEPString("raw ECDSA signature of ") + std::to_string(raw.getLength()).c_str() +
                                  " bytes; r and s take two halves of equal length");
    EcdsaSigValue value;
    setHalf(value.r, raw.getValue(), half);
    setHalf(value.s, raw.getValue() + half, half);
    return ZEPASNUtility::getDEREncoding(value);
}

ZEPBuffer ZEPECDSASignature::decode(const ZEPBuffer& der, size_t length) {
    EcdsaSigValue value;
    ZEPASNUtility::setDEREncoding(der, value);
    ZEPBuffer raw;
    appendHalf(raw, value.r, length);
    appendHalf(raw, value.s, length);
    return raw;
}
