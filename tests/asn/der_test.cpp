// DER decoding of the primitive and constructed types, their value
// conversions, names as text, and PEM armour.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <vector>

#include "asn/asn_any.h"
#include "asn/asn_bitstring.h"
#include "asn/asn_boolean.h"
#include "asn/asn_generalizedtime.h"
#include "asn/asn_null.h"
#include "asn/asn_string.h"
#include "asn/asn_utctime.h"
#include "asn/digestinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepbase64.h"
#include "asn/zeppem.h"
#include "zepexception.h"

namespace {

using bytes = std::vector<unsigned char>;

int read(asn_object& object, const bytes& der) {
    return object.read(r_buffer_t{der.data(), static_cast<unsigned int>(der.size())});
}

bytes write(const asn_object& object) {
    buffer_t out;
    EXPECT_EQ(ASN_OK, object.write(out));
    return bytes(out.data(), out.data() + out.size());
}

// `depth` SEQUENCEs, each holding the next, around an empty one.
bytes nested(size_t depth) {
    bytes der = {0x30, 0x00};
    for (size_t i = 0; i < depth; ++i) {
        bytes outer = {0x30};
        size_t length = der.size();
        if (length < 0x80) {
            outer.push_back(static_cast<unsigned char>(length));
        } else if (length < 0x100) {
            outer.insert(outer.end(), {0x81, static_cast<unsigned char>(length)});
        } else {
            outer.insert(outer.end(), {0x82, static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)});
        }
        outer.insert(outer.end(), der.begin(), der.end());
        der.swap(outer);
    }
    return der;
}

TEST(asnDerReader, RefusesMalformedLengthsAndTags) {
    asn_any any;
    EXPECT_EQ(ASN_BAD_LENGTH, read(any, {0x30, 0x80, 0x00, 0x00}));        // indefinite
    EXPECT_EQ(ASN_BAD_LENGTH, read(any, {0x04, 0x81, 0x01, 0x00}));        // long form for 1
    EXPECT_EQ(ASN_BAD_LENGTH, read(any, {0x04, 0x82, 0x00, 0x81}));        // leading zero octet
    EXPECT_EQ(ASN_BAD_LENGTH, read(any, {0x04, 0xFF, 0x00}));              // reserved
    EXPECT_EQ(ASN_TRUNCATED, read(any, {0x04, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}));  // absurd length
    EXPECT_EQ(ASN_TRUNCATED, read(any, {0x04, 0x03, 0x00}));               // past the end
    EXPECT_EQ(ASN_TRUNCATED, read(any, {0x1F, 0x81}));                     // unfinished high tag
    EXPECT_EQ(ASN_NOT_DER, read(any, {0x1F, 0x80, 0x01, 0x00}));           // non-minimal high tag
    EXPECT_EQ(ASN_NOT_DER, read(any, {0x1F, 0x05, 0x00}));                 // high form for a low tag
    EXPECT_EQ(ASN_TRAILING_DATA, read(any, {0x05, 0x00, 0x00}));
    EXPECT_EQ(ASN_TRUNCATED, read(any, {0x30, 0x03, 0x04, 0x05, 0x00}));  // inner element too long
    EXPECT_EQ(ASN_OK, read(any, {0x9F, 0x81, 0x00, 0x01, 0x07}));         // [128] high tag
    EXPECT_EQ(128UL, any.get_tag());
    EXPECT_EQ((bytes{0x9F, 0x81, 0x00, 0x01, 0x07}), write(any));
    asn_integer integer;
    EXPECT_EQ(ASN_BAD_TAG, read(integer, {0x04, 0x01, 0x01}));
    EXPECT_EQ(ASN_BAD_TAG, read(integer, {0x22, 0x01, 0x01}));  // constructed INTEGER
}

TEST(asnDerReader, LimitsNesting) {
    asn_any any;
    EXPECT_EQ(ASN_OK, read(any, nested(ASN_MAX_DEPTH)));
    EXPECT_EQ(ASN_TOO_DEEP, read(any, nested(ASN_MAX_DEPTH + 1)));
    EXPECT_EQ(ASN_TOO_DEEP, read(any, nested(5000)));
    x509_certificate certificate;
    EXPECT_NE(ASN_OK, read(certificate, nested(5000)));
    EXPECT_THROW(ZEPASNUtility::setDEREncoding(ZEPBuffer(3, "\x30\x01\x30"), certificate), ZEPASNException);
}

// Integers keep their content octets, redundant sign octets included, so
// key components travel byte for byte; numbers set from a long are minimal.
TEST(asnDerPrimitives, IntegersKeepTheirContentOctets) {
    asn_integer integer;
    const struct { bytes der; long value; } kept[] = {
        {{0x02, 0x02, 0x00, 0x7F}, 127}, {{0x02, 0x02, 0xFF, 0x80}, -128}, {{0x02, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0x7F}, 127}};
    for (const auto& c : kept) {
        ASSERT_EQ(ASN_OK, read(integer, c.der));
        EXPECT_EQ(c.der, write(integer));
        long value = 0;
        ASSERT_EQ(ASN_OK, integer.get_value(value));
        EXPECT_EQ(c.value, value);
    }
    EXPECT_EQ(ASN_BAD_VALUE, read(integer, {0x02, 0x00}));
    for (long value : {0L, 1L, -1L, 127L, 128L, -128L, -129L, 65535L, LONG_MAX, LONG_MIN}) {
        ASSERT_EQ(ASN_OK, integer.set_value(value));
        asn_integer decoded;
        ASSERT_EQ(ASN_OK, read(decoded, write(integer)));
        long back = 0;
        ASSERT_EQ(ASN_OK, decoded.get_value(back));
        EXPECT_EQ(value, back);
    }
    EXPECT_EQ((bytes{0x02, 0x02, 0x00, 0x80}), (integer.set_value(128L), write(integer)));
    EXPECT_EQ((bytes{0x02, 0x02, 0xFF, 0x7F}), (integer.set_value(-129L), write(integer)));
    std::vector<unsigned char> big(sizeof(long) + 1, 0x11);
    ASSERT_EQ(ASN_OK, integer.set_value(big.data(), big.size()));
    long tooBig;
    EXPECT_EQ(ASN_UNSUPPORTED, integer.get_value(tooBig));
    const unsigned char nonMinimal[] = {0x00, 0x01};
    ASSERT_EQ(ASN_OK, integer.set_value(nonMinimal, 2));
    EXPECT_EQ((bytes{0x02, 0x02, 0x00, 0x01}), write(integer));
    EXPECT_EQ(ASN_BAD_ARGUMENT, integer.set_value(nonMinimal, 0));
}

TEST(asnDerPrimitives, BooleanBitStringNull) {
    asn_boolean boolean;
    EXPECT_EQ(ASN_NOT_DER, read(boolean, {0x01, 0x01, 0x01}));
    EXPECT_EQ(ASN_OK, read(boolean, {0x01, 0x01, 0xFF}));
    EXPECT_TRUE(boolean.get_value());

    asn_bitstring bits;
    EXPECT_EQ(ASN_NOT_DER, read(bits, {0x03, 0x02, 0x01, 0x01}));  // unused bit set
    EXPECT_EQ(ASN_BAD_VALUE, read(bits, {0x03, 0x02, 0x08, 0x00}));
    EXPECT_EQ(ASN_BAD_VALUE, read(bits, {0x03, 0x01, 0x01}));
    EXPECT_EQ(ASN_BAD_VALUE, read(bits, {0x03, 0x00}));
    const unsigned char value[] = {0xAB, 0xFF};
    ASSERT_EQ(ASN_OK, bits.set_value(value, 12));
    EXPECT_EQ((bytes{0x03, 0x03, 0x04, 0xAB, 0xF0}), write(bits));
    ZEPBuffer back;
    unsigned long bitLength = 0;
    ASSERT_EQ(ASN_OK, bits.get_value(back, bitLength));
    EXPECT_EQ(12UL, bitLength);
    EXPECT_EQ(ZEPBuffer(2, "\xAB\xF0"), back);

    asn_null null;
    EXPECT_EQ((bytes{0x05, 0x00}), write(null));
    EXPECT_EQ(ASN_BAD_VALUE, read(null, {0x05, 0x01, 0x00}));
}

TEST(asnDerPrimitives, ObjectIdentifiers) {
    asn_oid oid;
    EXPECT_EQ(ASN_NO_VALUE, [&] { buffer_t out; return oid.write(out); }());
    ASSERT_EQ(ASN_OK, oid.set_value(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT));
    EXPECT_EQ((bytes{0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01}), write(oid));
    EXPECT_EQ("1.2.840.113549.1.1.1", oid.to_string());
    EXPECT_FALSE(oid.is_equal(ZEPASNOID::VALUE_SHA1WithRSA, ZEPASNOID::VALUE_SHA1WithRSA_COUNT));
    ASSERT_EQ(ASN_OK, oid.from_string("2.999.4294967295"));
    asn_oid back;
    ASSERT_EQ(ASN_OK, read(back, write(oid)));
    EXPECT_EQ("2.999.4294967295", back.to_string());
    EXPECT_EQ(ASN_NOT_DER, read(oid, {0x06, 0x02, 0x80, 0x01}));
    EXPECT_EQ(ASN_BAD_VALUE, read(oid, {0x06, 0x01, 0x81}));
    EXPECT_EQ(ASN_BAD_VALUE, read(oid, {0x06, 0x00}));
    EXPECT_EQ(ASN_UNSUPPORTED, read(oid, {0x06, 0x0B, 0x2A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
    for (const char* bad : {"", "1", "1.", "3.1", "1.40", "1.02", "1..2", "a.b"}) EXPECT_NE(ASN_OK, oid.from_string(bad)) << bad;
}

TEST(asnDerPrimitives, StringsGiveUtf8) {
    struct { bytes der; const char* text; } good[] = {
        {{0x1E, 0x04, 0x00, 0x41, 0x00, 0xE9}, "A\xC3\xA9"},                     // BMPString
        {{0x1C, 0x04, 0x00, 0x01, 0xF6, 0x00}, "\xF0\x9F\x98\x80"},              // UniversalString
        {{0x14, 0x02, 0x41, 0xE9}, "A\xC3\xA9"},                                 // TeletexString as Latin-1
        {{0x13, 0x03, 0x61, 0x2A, 0x40}, "a*@"},                                 // PrintableString as found
        {{0x0C, 0x02, 0xC3, 0xA9}, "\xC3\xA9"},
    };
    for (const auto& c : good) {
        asn_any any;
        ASSERT_EQ(ASN_OK, read(any, c.der));
        std::string text;
        r_buffer_t content = any.content_view();
        ASSERT_EQ(ASN_OK, asn_string::text_of(any.get_tag(), content.data, content.len, text));
        EXPECT_EQ(c.text, text);
    }
    // A UTF8String keeps any octets (a Latin-1 label, say); only its text is refused.
    asn_UTF8String utf8;
    for (const bytes& der : {bytes{0x0C, 0x02, 0xC0, 0x80}, bytes{0x0C, 0x03, 0xED, 0xA0, 0x80},  // overlong, surrogate
                             bytes{0x0C, 0x03, 0xE9, 0x74, 0xE9}}) {
        ASSERT_EQ(ASN_OK, read(utf8, der));
        EXPECT_EQ(der, write(utf8));
        std::string text;
        EXPECT_EQ(ASN_BAD_VALUE, utf8.get_text(text));
    }
    EXPECT_EQ(ASN_BAD_ARGUMENT, utf8.set_text("\xE9t\xE9"));
    asn_BMPString bmp;
    EXPECT_EQ(ASN_BAD_VALUE, read(bmp, {0x1E, 0x01, 0x41}));
    EXPECT_EQ(ASN_BAD_ARGUMENT, bmp.set_text("\xF0\x9F\x98\x80"));
    asn_PrintableString printable;
    EXPECT_EQ(ASN_BAD_ARGUMENT, printable.set_text("a@b"));
    // A plain label is no UTF8String; its DER is built around it.
    EXPECT_NE(ASN_OK, read(utf8, {'a', 'b', 'c'}));
    ASSERT_EQ(ASN_OK, utf8.set_value(reinterpret_cast<const unsigned char*>("abc"), 3));
    EXPECT_EQ((bytes{0x0C, 0x03, 'a', 'b', 'c'}), write(utf8));
}

TEST(asnDerPrimitives, Times) {
    asn_generalizedtime generalized;
    int y, mo, d, h, mi, s, f, tzh, tzm;
    std::string text = "20240229235958.5Z";
    ASSERT_EQ(ASN_OK, read(generalized, [&] { bytes b = {0x18, static_cast<unsigned char>(text.size())};
                                              b.insert(b.end(), text.begin(), text.end()); return b; }()));
    ASSERT_EQ(ASN_OK, generalized.get_value(y, mo, d, h, mi, s, f, tzh, tzm));
    EXPECT_EQ((std::vector<int>{2024, 1, 29, 23, 59, 58, 500, 0, 0}), (std::vector<int>{y, mo, d, h, mi, s, f, tzh, tzm}));
    for (const char* bad : {"20240229235958.50Z", "20230229000000Z", "20240101000000", "202401010000Z",
                            "20240101000000+0100", "20241301000000Z", "20240101000000.Z"}) {
        std::string t = bad;
        bytes der = {0x18, static_cast<unsigned char>(t.size())};
        der.insert(der.end(), t.begin(), t.end());
        EXPECT_NE(ASN_OK, read(generalized, der)) << bad;
    }
    asn_utctime utc;
    ASSERT_EQ(ASN_OK, utc.set_value(2049, 11, 31, 23, 59, 59));
    EXPECT_EQ((bytes{0x17, 0x0D, '4', '9', '1', '2', '3', '1', '2', '3', '5', '9', '5', '9', 'Z'}), write(utc));
    EXPECT_EQ(ASN_BAD_ARGUMENT, utc.set_value(2050, 0, 1, 0, 0, 0));
    ASSERT_EQ(ASN_OK, read(utc, {0x17, 0x0D, '5', '0', '0', '1', '0', '1', '0', '0', '0', '0', '0', '0', 'Z'}));
    ASSERT_EQ(ASN_OK, utc.get_value(y, mo, d, h, mi, s, f, tzh, tzm));
    EXPECT_EQ(1950, y);
    EXPECT_EQ(0, mo);
}

TEST(asnDerConstructed, OptionalChildrenAndSetOrder) {
    AlgorithmIdentifier withoutParameters;
    ASSERT_EQ(ASN_OK, read(withoutParameters, {0x30, 0x05, 0x06, 0x03, 0x2B, 0x0E, 0x03}));
    EXPECT_FALSE(withoutParameters.parameters.is_present());
    EXPECT_EQ(ASN_TRAILING_DATA, read(withoutParameters, {0x30, 0x09, 0x06, 0x03, 0x2B, 0x0E, 0x03, 0x05, 0x00, 0x05, 0x00}));
    EXPECT_EQ(ASN_TRUNCATED, read(withoutParameters, {0x30, 0x00}));

    // RDN with two values out of DER order.
    asn_x500name name;
    bytes cn = {0x30, 0x08, 0x06, 0x03, 0x55, 0x04, 0x03, 0x0C, 0x01, 'a'};
    bytes ou = {0x30, 0x08, 0x06, 0x03, 0x55, 0x04, 0x0B, 0x0C, 0x01, 'b'};
    bytes unsorted = {0x30, 0x16, 0x31, 0x14};
    unsorted.insert(unsorted.end(), ou.begin(), ou.end());
    unsorted.insert(unsorted.end(), cn.begin(), cn.end());
    EXPECT_EQ(ASN_NOT_DER, read(name, unsorted));
    bytes sorted = {0x30, 0x16, 0x31, 0x14};
    sorted.insert(sorted.end(), cn.begin(), cn.end());
    sorted.insert(sorted.end(), ou.begin(), ou.end());
    ASSERT_EQ(ASN_OK, read(name, sorted));
    EXPECT_EQ("OU=b+CN=a", name.to_string());
}

TEST(asnDerConstructed, DigestInfoForSha1) {
    DigestInfo info;
    ASSERT_EQ(ASN_OK, info.digestAlgorithm.set_value_with_null(ZEPASNOID::VALUE_SHA1DigestAlgorithm,
                                                               ZEPASNOID::VALUE_SHA1DigestAlgorithm_COUNT));
    ASSERT_EQ(ASN_OK, info.digest.set_value(ZEPBuffer(20, "0123456789abcdefghij")));
    bytes der = write(info);
    bytes header = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00, 0x04, 0x14};
    ASSERT_EQ(35U, der.size());
    EXPECT_EQ(header, bytes(der.begin(), der.begin() + 15));
}

TEST(asnX500NameText, EscapesAndParses) {
    asn_x500name name;
    ASSERT_EQ(ASN_OK, name.from_string("CN=\\ a\\,b\\+c\\\"\\\\\\<\\>\\;\\ ,O=\\#1 #2,1.2.3.4=#0C026869,C=DE"));
    EXPECT_EQ("CN=\\ a\\,b\\+c\\\"\\\\\\<\\>\\;\\ ,O=\\#1 #2,1.2.3.4=#0C026869,C=DE", name.to_string());
    asn_x500name utf8;
    ASSERT_EQ(ASN_OK, utf8.from_string("CN=Zo\\C3\\AB\\0A"));
    EXPECT_EQ("CN=Zo\\C3\\AB\\0A", utf8.to_string());
    asn_x500name empty;
    ASSERT_EQ(ASN_OK, empty.from_string(""));
    EXPECT_EQ((bytes{0x30, 0x00}), write(empty));
    for (const char* bad : {"CN", "CN=a,", "XX=a", "CN=a,b", "CN=\\", "CN=\\4", "CN=a;b", "1.2.3=#0C05", "CN=#zz"})
        EXPECT_NE(ASN_OK, name.from_string(bad)) << bad;
    EXPECT_EQ("CN=\\ a\\,b\\+c\\\"\\\\\\<\\>\\;\\ ,O=\\#1 #2,1.2.3.4=#0C026869,C=DE", name.to_string());
}

TEST(asnPem, Base64AndArmour) {
    ZEPBuffer data(5, "\x00\xFFxyz");
    std::string text = ZEPBase64::encode(data);
    EXPECT_EQ("AP94eXo=", text);
    ZEPBuffer back;
    ASSERT_TRUE(ZEPBase64::decode(" AP94\r\neXo= ", back));
    EXPECT_EQ(data, back);
    for (const char* bad : {"AP94eXo", "AP9=eXo=", "AP94eXp=", "AP94eX==", "A===", "AP94eXo=AA==", "AP*4"})
        EXPECT_FALSE(ZEPBase64::decode(bad, back)) << bad;

    asn_integer integer;
    integer.set_value(1000L);
    std::string pem = "junk\n" + ZEPPEM::write(integer, "X") + "more";
    asn_integer read;
    ZEPPEM::read(ZEPBuffer(ZEPString(pem.c_str())), "X", read);
    EXPECT_TRUE(read == integer);
    EXPECT_THROW(ZEPPEM::read(ZEPBuffer(ZEPString(pem.c_str())), ZEPPEM::LABEL_CERTIFICATE, read), ZEPASNException);
    EXPECT_THROW(ZEPPEM::decode(ZEPBuffer(ZEPString("-----BEGIN X-----\n!!\n-----END X-----\n")), "X"), ZEPASNException);
}

}  // namespace
