// EC keys and ECDSA signature values: openssl's keys, certificates and
// signatures of each curve read and written back byte for byte, with the
// numbers openssl prints; the token forms of a public key; and refusals
// of what the toolkit cannot use, each with its reason.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "asn/ecprivatekey.h"
#include "asn/privatekeyinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepecdsasignature.h"
#include "asn/zepecprivatekey.h"
#include "asn/zepecpublickey.h"
#include "asn/zeppem.h"
#include "openssltool.h"
#include "zepexception.h"

namespace {

ZEPBuffer hex(const std::string& text) { return OpenSSLTool::hexBytes(text); }

// The number on the lines below "name:" in openssl's -text output, as
// `length` bytes.
ZEPBuffer printedNumber(const std::string& text, const std::string& name, size_t length) {
    size_t start = text.find('\n', text.find("\n" + name + ":") + 1) + 1, end = start;
    while (end < text.size() && text[end] == ' ') end = text.find('\n', end) + 1;
    const ZEPBuffer number = hex(text.substr(start, end - start));
    if (number.getLength() < length) return ZEPBuffer(length - number.getLength(), nullptr).append(number);
    return ZEPBuffer(length, number.getValue() + number.getLength() - length);  // without openssl's sign byte
}

// What the toolkit refuses, each with the code and a part of the message.
struct Refusal {
    const char* what;
    std::function<void()> attempt;
    int code;
    const char* message;
};

void expectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& r : refusals) {
        try {
            r.attempt();
            ADD_FAILURE() << r.what << ": accepted";
        } catch (const ZEPASNException& e) {
            EXPECT_EQ(r.code, e.getCode()) << r.what << ": " << e.what();
            EXPECT_NE(std::string::npos, e.getMessage().str().find(r.message)) << r.what << ": " << e.what();
        }
    }
}

ZEPBuffer innerOf(const PrivateKeyInfo& info) { return ZEPBuffer(info.privateKey.content_view()); }

// One of the build's PKCS#8 keys with its parts changed by `change`.
ZEPBuffer changedPrivateKey(const std::function<void(PrivateKeyInfo&, ECPrivateKey&)>& change,
                            const std::string& key = "ec") {
    PrivateKeyInfo info;
    ZEPASNUtility::setDEREncoding(OpenSSLTool::sharedKey(key + ".p8"), info);
    ECPrivateKey inner;
    ZEPASNUtility::setDEREncoding(innerOf(info), inner);
    change(info, inner);
    info.privateKey.set_value(ZEPASNUtility::getDEREncoding(inner));
    return ZEPASNUtility::getDEREncoding(info);
}

ZEPBuffer withScalar(const ZEPBuffer& scalar, const std::string& key = "ec") {
    return changedPrivateKey([&](PrivateKeyInfo&, ECPrivateKey& inner) { inner.privateKey.set_value(scalar); }, key);
}

struct CurveCase {
    const char* key;  // the build's key
    const ZEPECCurve& curve;
    const char* digest;
    const unsigned long* signatureOid;
    const unsigned& signatureOidCount;
};

TEST(ECKeyOpenSSL, KeysCertificatesAndSignaturesOfEachCurve) {
    const CurveCase cases[] = {
        {"ec", ZEPECCurve::P256, "sha256", ZEPASNOID::VALUE_ECDSAWithSHA256, ZEPASNOID::VALUE_ECDSAWithSHA256_COUNT},
        {"ec384", ZEPECCurve::P384, "sha384", ZEPASNOID::VALUE_ECDSAWithSHA384, ZEPASNOID::VALUE_ECDSAWithSHA384_COUNT},
        {"ec521", ZEPECCurve::P521, "sha512", ZEPASNOID::VALUE_ECDSAWithSHA512, ZEPASNOID::VALUE_ECDSAWithSHA512_COUNT},
    };
    for (const CurveCase& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string key = c.key, name = c.curve.getName();
        OpenSSLTool openssl;
        openssl.copySharedKey(key + ".pem", "k.pem");
        const std::string text = openssl.must("pkey -in k.pem -noout -text");
        const ZEPBuffer scalar = printedNumber(text, "priv", c.curve.getLength()),
                        point = printedNumber(text, "pub", 1 + 2 * c.curve.getLength());
        EXPECT_EQ(&c.curve, ZEPECCurve::find(text.substr(text.find("NIST CURVE: ") + 12, 5)));
        openssl.must("ecparam -name " + name + " -outform DER -out params.der");
        EXPECT_EQ(openssl.readFile("params.der"), c.curve.getECParams());

        const ZEPBuffer spki = OpenSSLTool::sharedKey(key + ".spki"), p8 = OpenSSLTool::sharedKey(key + ".p8");
        const ZEPECPublicKey publicKey(spki);
        EXPECT_TRUE(&publicKey.getCurve() == &c.curve && publicKey.getPoint() == point);
        EXPECT_EQ(spki, publicKey.getDER());
        // PKCS#8, and the bare form behind a parameters block as "openssl ecparam -genkey" writes it.
        openssl.must("ecparam -name " + name + " -out bare.pem && openssl ec -in k.pem >> bare.pem");
        for (const ZEPECPrivateKey& privateKey :
             {ZEPECPrivateKey::fromPrivateKeyInfo(p8),
              ZEPECPrivateKey::fromECPrivateKey(
                  ZEPPEM::decode(openssl.readFile("bare.pem"), ZEPPEM::LABEL_EC_PRIVATE_KEY))}) {
            EXPECT_TRUE(&privateKey.getCurve() == &c.curve && privateKey.getValue() == scalar &&
                        privateKey.getPublicPoint() == point);
            EXPECT_EQ(p8, privateKey.getDER());
        }
        // Scalars up to the group order less one.
        const ZEPBuffer order = printedNumber(
            openssl.must("ecparam -name " + name + " -param_enc explicit -text -noout"), "Order", c.curve.getLength());
        ZEPBuffer belowOrder = order;
        belowOrder.getValue()[belowOrder.getLength() - 1] -= 1;
        EXPECT_EQ(belowOrder, ZEPECPrivateKey::fromPrivateKeyInfo(withScalar(belowOrder, key)).getValue());
        expectRefusals({{"scalar of the order", [&] { ZEPECPrivateKey::fromPrivateKeyInfo(withScalar(order, key)); },
                         ASN_BAD_VALUE, "not below the group order"}});

        // A certificate signed with the key: its identifiers are ours, its signature reads to r||s and back.
        openssl.must("req -x509 -key k.pem -subj /CN=ec -days 1 -outform DER -out c.der -" + std::string(c.digest));
        x509_certificate certificate;
        ZEPASNUtility::setDEREncoding(openssl.readFile("c.der"), certificate);
        AlgorithmIdentifier ecdsa;
        ASSERT_EQ(ASN_OK, ecdsa.algorithm.set_value(c.signatureOid, c.signatureOidCount));
        EXPECT_TRUE(ecdsa == certificate.signatureAlgorithm);
        EXPECT_EQ(spki, ZEPASNUtility::getDEREncoding(certificate.tbsCertificate.subjectPublicKeyInfo));
        const ZEPBuffer signature(certificate.signature.value_view());
        const ZEPBuffer raw = ZEPECDSASignature::decode(signature, c.curve.getLength());
        EXPECT_EQ(2 * c.curve.getLength(), raw.getLength());
        EXPECT_EQ(signature, ZEPECDSASignature::encode(raw));
    }
}

// Raw r||s against its DER: leading zero bytes dropped, 00 before a set top bit.
TEST(ECDSASignature, EncodesMinimalIntegers) {
    const struct { const char* raw; const char* der; } cases[] = {
        {"000001 800000", "3009 020101 020400800000"},
        {"7fff 0080", "3008 02027fff 02020080"},
        {"0000ff 00007f", "3007 020200ff 02017f"},
        {"01 01", "3006 020101 020101"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex(c.der), ZEPECDSASignature::encode(hex(c.raw))) << c.raw;
        EXPECT_EQ(hex(c.raw), ZEPECDSASignature::decode(hex(c.der), hex(c.raw).getLength() / 2)) << c.der;
    }
}

TEST(ECDSASignature, RefusesMalformedValues) {
    auto decode = [](const char* der, size_t length) { return [=] { ZEPECDSASignature::decode(hex(der), length); }; };
    auto encode = [](const char* raw) { return [=] { ZEPECDSASignature::encode(hex(raw)); }; };
    expectRefusals({
        {"empty raw", encode(""), ASN_BAD_VALUE, "0 bytes"},
        {"odd raw", encode("010203"), ASN_BAD_VALUE, "3 bytes"},
        {"r of 0", encode("0000 0101"), ASN_BAD_VALUE, "of 0"},
        {"s of 0", encode("0101 0000"), ASN_BAD_VALUE, "of 0"},
        {"negative r", decode("3006 020180 020101", 2), ASN_BAD_VALUE, "negative"},
        {"non-minimal s", decode("3007 020101 02020001", 2), ASN_BAD_VALUE, "non-minimal"},
        {"zero s", decode("3006 020101 020100", 2), ASN_BAD_VALUE, "of 0"},
        {"r too long", decode("3007 0202 0101 020101", 1), ASN_BAD_VALUE, "longer than 1 bytes"},
        {"00 before a long r", decode("3008 0203 008001 020101", 1), ASN_BAD_VALUE, "longer than 1 bytes"},
        {"trailing data", decode("3006 020101 020101 00", 2), ASN_TRAILING_DATA, ""},
        {"one integer", decode("3003 020101", 2), ASN_TRUNCATED, ""},
    });
}

// CKA_EC_POINT as a DER OCTET STRING or bare, and CKA_EC_PARAMS.
TEST(ECPublicKey, ReadsThePointAsTokensGiveIt) {
    const ZEPECPublicKey key(OpenSSLTool::sharedKey("ec.spki"));
    const ZEPBuffer params = ZEPECCurve::P256.getECParams(), wrapped = key.getECPoint();
    EXPECT_EQ(ZEPBuffer(2, "\x04\x41").append(key.getPoint()), wrapped);
    // A bare point whose X begins with 3F also reads as an OCTET STRING of 63 bytes.
    ZEPBuffer lookalike = key.getPoint();
    lookalike.getValue()[1] = 0x3F;
    for (const ZEPBuffer& point : {wrapped, key.getPoint(), lookalike}) {
        const ZEPECPublicKey fromToken = ZEPECPublicKey::fromToken(params, point);
        EXPECT_EQ(&ZEPECCurve::P256, &fromToken.getCurve());
        EXPECT_EQ(point == wrapped ? key.getPoint() : point, fromToken.getPoint());
    }
}

TEST(ECKeys, RefuseWhatTheToolkitCannotUse) {
    OpenSSLTool openssl;
    openssl.copySharedKey("ec.pem", "k.pem");
    auto made = [&](const std::string& arguments) {
        openssl.must(arguments + " -outform DER -out made.der");
        return openssl.readFile("made.der");
    };
    auto publicKey = [](ZEPBuffer der) { return [=] { ZEPECPublicKey{der}; }; };
    auto onCurve = [](const ZEPECCurve& curve, ZEPBuffer point) {
        return [on = &curve, point] { ZEPECPublicKey(*on, point); };
    };
    auto fromToken = [](ZEPBuffer point) {
        return [=] { ZEPECPublicKey::fromToken(ZEPECCurve::P256.getECParams(), point); };
    };
    auto privateKey = [](ZEPBuffer der) { return [=] { ZEPECPrivateKey::fromPrivateKeyInfo(der); }; };
    auto bareKey = [](ZEPBuffer der) { return [=] { ZEPECPrivateKey::fromECPrivateKey(der); }; };
    // The curve in the ECPrivateKey too, or there alone.
    auto innerCurve = [](const ZEPECCurve& curve, bool outerToo) {
        return changedPrivateKey([&](PrivateKeyInfo& info, ECPrivateKey& key) {
            asn_oid oid;
            oid.set_value(curve.getOid(), curve.getOidCount());
            key.parameters.set_value(oid);
            if (!outerToo) info.privateKeyAlgorithm.parameters.reset();
        });
    };
    const ZEPBuffer point = ZEPECPublicKey(OpenSSLTool::sharedKey("ec.spki")).getPoint(), x(32, point.getValue() + 1);
    PrivateKeyInfo p8;
    ZEPASNUtility::setDEREncoding(OpenSSLTool::sharedKey("ec.p8"), p8);
    // Accepted: a short scalar after a zero byte, padded; the curve in both places or only in the ECPrivateKey.
    EXPECT_EQ(ZEPBuffer(31, nullptr).append(1, "\x07"),
              ZEPECPrivateKey::fromPrivateKeyInfo(withScalar(hex("0007"))).getValue());
    for (bool outerToo : {true, false})
        EXPECT_EQ(&ZEPECCurve::P256,
                  &ZEPECPrivateKey::fromPrivateKeyInfo(innerCurve(ZEPECCurve::P256, outerToo)).getCurve());

    expectRefusals({
        {"RSA public key", publicKey(OpenSSLTool::sharedKey("rsa1024.spki")), ASN_UNSUPPORTED,
         "1.2.840.113549.1.1.1, not an EC key"},
        {"secp256k1", publicKey(made("genpkey -algorithm EC -pkeyopt ec_paramgen_curve:secp256k1 | "
                                     "openssl pkey -pubout")),
         ASN_UNSUPPORTED, "curve 1.3.132.0.10 is not supported"},
        {"explicit parameters", publicKey(made("ec -in k.pem -pubout -param_enc explicit")), ASN_UNSUPPORTED,
         "explicit curve parameters"},
        {"compressed point", onCurve(ZEPECCurve::P256, hex("02").append(x)), ASN_UNSUPPORTED, "compressed EC point"},
        {"wrapped compressed point", fromToken(hex("042103").append(x)), ASN_UNSUPPORTED, "compressed"},
        {"P-256 point on P-384", onCurve(ZEPECCurve::P384, point), ASN_BAD_VALUE, "65 bytes; secp384r1 takes 97"},
        {"no 04 prefix", onCurve(ZEPECCurve::P256, hex("05").append(x).append(x)), ASN_BAD_VALUE, "04 prefix"},
        {"empty token point", fromToken(ZEPBuffer()), ASN_BAD_VALUE, "empty"},
        {"NULL as EC params", [] { ZEPECCurve::fromECParams(hex("0500")); }, ASN_UNSUPPORTED, "name no curve"},
        {"RSA private key", privateKey(OpenSSLTool::sharedKey("rsa1024.p8")), ASN_UNSUPPORTED, "not an EC key"},
        {"compressed public point", bareKey(made("ec -in k.pem -conv_form compressed")), ASN_UNSUPPORTED,
         "compressed"},
        {"two curves", privateKey(innerCurve(ZEPECCurve::P384, true)), ASN_BAD_VALUE,
         "names the curve prime256v1 and whose"},
        {"no curve in a bare key", bareKey(innerOf(p8)), ASN_BAD_VALUE, "without curve"},
        {"no curve in PKCS#8", privateKey(changedPrivateKey([](PrivateKeyInfo& info, ECPrivateKey&) {
             info.privateKeyAlgorithm.parameters.reset();
         })), ASN_BAD_VALUE, "without curve"},
        {"scalar 0", privateKey(withScalar(ZEPBuffer(32, nullptr))), ASN_BAD_VALUE, "of value 0"},
        {"scalar too long", privateKey(withScalar(hex("01").append(32, nullptr))), ASN_BAD_VALUE, "longer"},
        {"ECPrivateKey version 2", privateKey(changedPrivateKey([](PrivateKeyInfo&, ECPrivateKey& key) {
             key.version.set_value(2L);
         })), ASN_UNSUPPORTED, "ECPrivateKey of another version than 1"},
        {"PKCS#8 version 1", privateKey(changedPrivateKey([](PrivateKeyInfo& info, ECPrivateKey&) {
             info.version.set_value(1L);
         })), ASN_UNSUPPORTED, "PKCS#8 private key of another version than 0"},
    });
}

}  // namespace
