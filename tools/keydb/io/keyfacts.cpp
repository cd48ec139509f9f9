#include "io/keyfacts.h"

#include <cstdio>
#include <map>
#include <vector>

#include "asn/asn_integer.h"
#include "asn/asn_oid.h"
#include "asn/asn_x500name.h"
#include "asn/rsapublickey.h"
#include "asn/subjectpublickeyinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "io/displaytext.h"
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

constexpr const char* ecPublicKey = "1.2.840.10045.2.1";

std::string algorithmName(const std::string& oid) {
    static const std::map<std::string, std::string> names = {
        {"1.3.101.112", "ED25519"}, {"1.3.101.113", "ED448"}, {"1.2.840.10040.4.1", "DSA"}};
    auto found = names.find(oid);
    return found != names.end() ? found->second : oid;
}

struct Curve {
    const char* name;
    unsigned int bits;
};

// Named curves by object identifier, with openssl's names.
const std::map<std::string, Curve>& curves() {
    static const std::map<std::string, Curve> table = {
        {"1.2.840.10045.3.1.1", {"prime192v1", 192}},      {"1.3.132.0.33", {"secp224r1", 224}},
        {"1.2.840.10045.3.1.7", {"prime256v1", 256}},      {"1.3.132.0.10", {"secp256k1", 256}},
        {"1.3.132.0.34", {"secp384r1", 384}},              {"1.3.132.0.35", {"secp521r1", 521}},
        {"1.3.36.3.3.2.8.1.1.7", {"brainpoolP256r1", 256}}, {"1.3.36.3.3.2.8.1.1.11", {"brainpoolP384r1", 384}},
        {"1.3.36.3.3.2.8.1.1.13", {"brainpoolP512r1", 512}},
    };
    return table;
}

// An EC key's curve from its named-curve parameters. A curve missing from
// the table is sized by its point: 04 X Y uncompressed, 02 or 03 X
// compressed.
PublicKeyFacts ecFacts(const SubjectPublicKeyInfo& info) {
    PublicKeyFacts facts;
    facts.algorithm = "EC";
    asn_oid curve;
    if (info.algorithm.parameters.get_value(curve) != 0) return facts;
    facts.curve = curve.to_string();
    r_buffer_t point = info.subjectPublicKey.value_view();
    facts.point = ZEPBuffer(point);
    if (auto known = curves().find(facts.curve); known != curves().end()) {
        facts.curve = known->second.name;
        facts.bits = known->second.bits;
        if (ZEPECCurve::find(facts.curve)) facts.keyId = ecKeyId(facts.point);
        return facts;
    }
    if (point.len < 2) return facts;
    std::size_t coordinate = point.data[0] == 4 ? (point.len - 1) / 2 : point.len - 1;
    facts.bits = static_cast<unsigned int>(coordinate * 8);
    return facts;
}

// Two's complement content octets as openssl prints them: the magnitude in
// upper-case hexadecimal, "-" before a negative one.
std::string serialText(const asn_integer& serial) {
    ZEPBuffer content;
    zep_asn_check(ZEP_HERE, serial.get_value(content));
    std::vector<unsigned char> magnitude(content.getValue(), content.getValue() + content.getLength());
    if (serial.is_negative()) {
        // Negate: invert every bit, then add one.
        for (unsigned char& byte : magnitude) byte = static_cast<unsigned char>(~byte);
        for (auto byte = magnitude.rbegin(); byte != magnitude.rend() && ++*byte == 0; ++byte) {
        }
    }
    std::size_t zeros = 0;
    while (zeros + 1 < magnitude.size() && magnitude[zeros] == 0) ++zeros;
    if (magnitude.empty()) return "00";
    std::string digits = hex(ZEPBuffer(magnitude.size() - zeros, magnitude.data() + zeros), "%02X");
    return (serial.is_negative() ? "-" : "") + digits;
}

}  // namespace

std::string lowerHex(const ZEPBuffer& bytes) { return hex(bytes, "%02x"); }

std::string nameText(const ZEPBuffer& nameDER) {
    if (nameDER.empty()) return "";
    asn_x500name name;
    ZEPASNUtility::setDEREncoding(nameDER, name);
    return nameWithCharacters(name.to_string());
}

std::string modulusKeyId(const ZEPBuffer& modulus) {
    std::size_t zeros = 0;
    while (zeros < modulus.getLength() && modulus.getValue()[zeros] == 0) ++zeros;
    return lowerHex(ZEPKRYUtility::digestData_SHA1(ZEPBuffer(modulus.getLength() - zeros, modulus.getValue() + zeros)));
}

std::string ecKeyId(const ZEPBuffer& point) { return lowerHex(ZEPKRYUtility::digestData_SHA1(point)); }

PublicKeyFacts PublicKeyFacts::of(const SubjectPublicKeyInfo& info) {
    PublicKeyFacts facts;
    const std::string oid = info.algorithm.algorithm.to_string();
    if (oid == ecPublicKey) return ecFacts(info);
    if (!info.algorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT)) {
        facts.algorithm = algorithmName(oid);
        return facts;
    }
    facts.algorithm = "RSA";
    ZEPBuffer der = ZEPASNUtility::getDEREncoding(info);
    facts.bits = ZEPKRYUtility::getKeySizeInBits(
        ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, der));
    RSAPublicKey key;
    ZEPASNUtility::setDEREncoding(info.subjectPublicKey.value_view(), key);
    zep_asn_check(ZEP_HERE, key.modulus.get_unsigned(facts.modulus));
    facts.keyId = modulusKeyId(facts.modulus);
    return facts;
}

std::string PublicKeyFacts::nistCurve() const {
    const ZEPECCurve* known = algorithm == "EC" ? ZEPECCurve::find(curve) : nullptr;
    return known ? known->getNistName() : "";
}

PublicKeyFacts PublicKeyFacts::ofDER(const ZEPBuffer& subjectPublicKeyInfoDER) {
    SubjectPublicKeyInfo info;
    ZEPASNUtility::setDEREncoding(subjectPublicKeyInfoDER, info);
    return of(info);
}

CertificateFacts CertificateFacts::of(const x509_certificate& certificate) {
    CertificateFacts facts;
    facts.subject = nameWithCharacters(certificate.get_subject().to_string());
    facts.issuer = nameWithCharacters(certificate.get_issuer().to_string());
    facts.serial = serialText(certificate.get_serial_number());
    facts.notBefore = isoTime(certificate.get_validity().notBefore);
    facts.notAfter = isoTime(certificate.get_validity().notAfter);
    facts.key = PublicKeyFacts::of(certificate.get_subject_public_key_info());
    return facts;
}

CertificateFacts CertificateFacts::ofDER(const ZEPBuffer& der) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(der, certificate);
    return of(certificate);
}
