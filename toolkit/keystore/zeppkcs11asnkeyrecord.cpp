#include "keystore/zeppkcs11asnkeyrecord.h"

#include "asn/asn_integer.h"
#include "asn/asn_octetstring.h"
#include "asn/asn_sequence.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "zeptrace.h"

namespace {

class KeyRecordStructure : public asn_sequence {
public:
    KeyRecordStructure() {
        register_child(&tokenLabel);
        register_child(&objectId);
        register_child(&keySize);
        register_child(&subjectName);
    }

    asn_octetstring tokenLabel;
    asn_octetstring objectId;
    asn_integer keySize;
    asn_octetstring subjectName;
};

// The minimal two's complement content octets of a non-negative value.
ZEPBuffer integerContent(unsigned int value) {
    unsigned char bytes[5] = {0, static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                              static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    size_t start = 0;
    while (start < 4 && bytes[start] == 0 && bytes[start + 1] < 0x80) ++start;
    return ZEPBuffer(sizeof bytes - start, bytes + start);
}

unsigned int unsignedValue(const asn_integer& integer) {
    if (integer.is_negative()) throw ZEPASNException(ZEP_HERE, ASN_BAD_VALUE, "negative key size");
    ZEPBuffer magnitude;
    zep_asn_check(ZEP_HERE, integer.get_unsigned(magnitude));
    if (magnitude.getLength() > 4) throw ZEPASNException(ZEP_HERE, ASN_UNSUPPORTED, "key size out of range");
    unsigned int value = 0;
    for (size_t i = 0; i < magnitude.getLength(); ++i) value = value << 8 | magnitude.getValue()[i];
    return value;
}

ZEPBuffer octets(const asn_octetstring& string) {
    ZEPBuffer bytes;
    zep_asn_check(ZEP_HERE, string.get_value(bytes));
    return bytes;
}

}  // namespace

ZEPPKCS11ASNKeyRecord::ZEPPKCS11ASNKeyRecord(const ZEPBuffer& der) {
    KeyRecordStructure record;
    ZEPASNUtility::setDEREncoding(der, record);
    ZEPBuffer label = octets(record.tokenLabel);
    tokenLabel_.assign(reinterpret_cast<const char*>(label.getValue()), label.getLength());
    objectId_ = octets(record.objectId);
    keySize_ = unsignedValue(record.keySize);
    subjectName_ = octets(record.subjectName);
}

ZEPPKCS11ASNKeyRecord::ZEPPKCS11ASNKeyRecord(const ZEPString& tokenLabel, const ZEPBuffer& objectId,
                                             unsigned int keySize, const ZEPBuffer& subjectName)
    : tokenLabel_(tokenLabel), objectId_(objectId), keySize_(keySize), subjectName_(subjectName) {}

ZEPBuffer ZEPPKCS11ASNKeyRecord::getBuffer() const {
    KeyRecordStructure record;
    zep_asn_check(ZEP_HERE, record.tokenLabel.set_value(ZEPBuffer(tokenLabel_)));
    zep_asn_check(ZEP_HERE, record.objectId.set_value(objectId_));
    zep_asn_check(ZEP_HERE, record.keySize.set_value(integerContent(keySize_)));
    zep_asn_check(ZEP_HERE, record.subjectName.set_value(subjectName_));
    return ZEPASNUtility::getDEREncoding(record);
}
