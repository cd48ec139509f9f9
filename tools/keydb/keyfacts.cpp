#include "keyfacts.h"

#include <cstdio>

#include "asn/asn_integer.h"
#include "asn/asn_x500name.h"
#include "asn/rsapublickey.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "kry/zepkrykey.h"
#include "kry/zepkryutility.h"
#include "zeptrace.h"

namespace {

std::string hex(const ZEPBuffer& bytes, const char* format) {
    std::string text;
    char digits[3];
    for (std::size_t i = 0; i < bytes.getLength(); ++i) {
        std::snprintf(digits, sizeof digits, format, bytes.getValue()[i]);
        text += digits;
    }
    return text;
}

std::string isoTime(const asn_time& time) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0, tzHours = 0, tzMinutes = 0;
    zep_asn_check(ZEP_HERE, time.get_value(year, month, day, hour, minute, second, fraction, tzHours, tzMinutes));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month + 1, day, hour, minute, second);
    return text;
}

}  // namespace

std::string lowerHex(const ZEPBuffer& bytes) { return hex(bytes, "%02x"); }

std::string nameText(const ZEPBuffer& nameDER) {
    if (nameDER.empty()) return "";
    asn_x500name name;
    ZEPASNUtility::setDEREncoding(nameDER, name);
    return name.to_string();
}

PublicKeyFacts PublicKeyFacts::of(const SubjectPublicKeyInfo& info) {
    PublicKeyFacts facts;
    if (!info.algorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT)) {
        facts.algorithm = info.algorithm.algorithm.to_string();
        return facts;
    }
    facts.algorithm = "RSA";
    ZEPBuffer der = ZEPASNUtility::getDEREncoding(info);
    facts.bits = ZEPKRYUtility::getKeySizeInBits(
        ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, der));
    RSAPublicKey key;
    ZEPASNUtility::setDEREncoding(info.subjectPublicKey.value_view(), key);
    ZEPBuffer modulus;
    zep_asn_check(ZEP_HERE, key.modulus.get_unsigned(modulus));
    facts.id = lowerHex(ZEPKRYUtility::digestData_SHA1(modulus));
    return facts;
}

PublicKeyFacts PublicKeyFacts::ofDER(const ZEPBuffer& subjectPublicKeyInfoDER) {
    SubjectPublicKeyInfo info;
    ZEPASNUtility::setDEREncoding(subjectPublicKeyInfoDER, info);
    return of(info);
}

CertificateFacts CertificateFacts::of(const x509_certificate& certificate) {
    CertificateFacts facts;
    facts.subject = certificate.get_subject().to_string();
    facts.issuer = certificate.get_issuer().to_string();
    ZEPBuffer serial;
    zep_asn_check(ZEP_HERE, certificate.get_serial_number().get_unsigned(serial));
    facts.serial = serial.empty() ? "00" : hex(serial, "%02X");
    facts.notBefore = isoTime(certificate.get_validity().notBefore);
    facts.notAfter = isoTime(certificate.get_validity().notAfter);
    facts.key = PublicKeyFacts::of(certificate.get_subject_public_key_info());
    return facts;
}
