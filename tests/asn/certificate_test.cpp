// Certificates, requests and keys made by openssl: decoded, re-encoded
// byte for byte, and read out field by field as openssl reports them.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "asn/asn_collection.h"
#include "asn/certificationrequest.h"
#include "asn/privatekeyinfo.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepdbutility.h"
#include "asn/zeppem.h"
#include "openssltool.h"
#include "zepexception.h"

namespace {

struct CertificateCase {
    const char* name;
    const char* key;   // the build's key, copied to <name>.key
    const char* make;  // openssl arguments writing <name>.pem
    long version;
    int keyBits;
};

const CertificateCase cases[] = {
    {"v1_1024", "rsa1024.pem",
     "req -new -key v1_1024.key -out v1_1024.csr -subj '/CN=v1 test/O=Ex, Inc' && "
     "openssl x509 -req -in v1_1024.csr -signkey v1_1024.key -out v1_1024.pem -days 1 -set_serial 5",
     0, 1024},
    {"v3_2048", "rsa2048.pem",
     "req -x509 -key v3_2048.key -out v3_2048.pem -days 1 -utf8 "
     "-subj '/C=DE/O=Example/CN=Alice' -set_serial 0x80000000000000000000000000000001",
     2, 2048},
    {"multi_4096", "rsa4096.pem",
     "req -x509 -key multi_4096.key -out multi_4096.pem -days 1 -utf8 -multivalue-rdn "
     "-subj '/CN=Zo\xC3\xAB+OU=b/O=x #1;<>/emailAddress=a@b.c' -set_serial 0xFF",
     2, 4096},
    {"printable_2048", "rsa2048.pem",
     "req -x509 -key printable_2048.key -out printable_2048.pem -days 1 "
     "-config printable.cnf -subj '/C=GB/ST=Some-State/O=Printable Ltd/CN=p (1)' -set_serial 1",
     2, 2048},
};

const char printableConfig[] =
    "[req]\ndistinguished_name = dn\nstring_mask = default\nx509_extensions = ext\n[dn]\n"
    "[ext]\nbasicConstraints = critical,CA:true\nsubjectKeyIdentifier = hash\n";

const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The date as "openssl x509 -startdate" prints it.
std::string openssl_date(const asn_timebase& time) {
    int year, month, day, hour, minute, second, fraction, tzHours, tzMinutes;
    EXPECT_EQ(ASN_OK, time.get_value(year, month, day, hour, minute, second, fraction, tzHours, tzMinutes));
    char text[64];
    std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d %d GMT", monthNames[month], day, hour, minute, second, year);
    return text;
}

std::string hex(const ZEPBuffer& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < bytes.getLength(); ++i) {
        text += digits[bytes.getValue()[i] >> 4];
        text += digits[bytes.getValue()[i] & 0xF];
    }
    return text;
}

// Bits of the RSA modulus held in a SubjectPublicKeyInfo.
int modulus_bits(const SubjectPublicKeyInfo& info) {
    asn_sequence_of<asn_integer> rsaKey;
    EXPECT_EQ(ASN_OK, rsaKey.read(info.subjectPublicKey.value_view()));
    ZEPBuffer modulus;
    EXPECT_EQ(ASN_OK, rsaKey.at(0).get_unsigned(modulus));
    int bits = static_cast<int>(modulus.getLength()) * 8;
    for (unsigned char top = modulus.getValue()[0]; !(top & 0x80); top <<= 1) --bits;
    return bits;
}

// One temporary folder per test program; each certificate is made the
// first time a test asks for it.
class asnCertificate : public ::testing::TestWithParam<CertificateCase> {
protected:
    static const OpenSSLTool& made(const CertificateCase& c) {
        static OpenSSLTool tool;
        static std::set<std::string> done;
        if (done.insert(c.name).second) {
            tool.writeFile("printable.cnf", std::string(printableConfig));
            tool.copySharedKey(c.key, std::string(c.name) + ".key");
            tool.must(c.make);
            tool.must(std::string("x509 -in ") + c.name + ".pem -outform DER -out " + c.name + ".der");
        }
        return tool;
    }
    static ZEPBuffer der_of(const CertificateCase& c) { return made(c).readFile(std::string(c.name) + ".der"); }

    const OpenSSLTool& tool() const { return made(GetParam()); }
    std::string name() const { return GetParam().name; }
    ZEPBuffer der() const { return der_of(GetParam()); }
    std::string report(const char* option) const {
        return tool().field("x509 -in " + name() + ".pem -noout -nameopt RFC2253 " + option);
    }
};

TEST_P(asnCertificate, DecodesReencodesAndGivesTheFieldsOpensslReports) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(der(), certificate);
    EXPECT_EQ(der(), ZEPASNUtility::getDEREncoding(certificate));
    EXPECT_EQ(GetParam().version, certificate.get_tbs_certificate().get_version());
    EXPECT_EQ(GetParam().version == 2, certificate.tbsCertificate.extensions.is_present());

    EXPECT_EQ(report("-subject"), certificate.get_subject().to_string());
    EXPECT_EQ(report("-issuer"), certificate.get_issuer().to_string());
    ZEPBuffer serial;
    ASSERT_EQ(ASN_OK, certificate.get_serial_number().get_unsigned(serial));
    EXPECT_EQ(report("-serial"), hex(serial));
    EXPECT_EQ(report("-startdate"), openssl_date(certificate.get_validity().notBefore));
    EXPECT_EQ(report("-enddate"), openssl_date(certificate.get_validity().notAfter));
    EXPECT_TRUE(certificate.get_subject_public_key_info().algorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA,
                                                                                      ZEPASNOID::VALUE_RSA_COUNT));
    EXPECT_EQ(GetParam().keyBits, modulus_bits(certificate.get_subject_public_key_info()));

    asn_x500name parsed;
    ASSERT_EQ(ASN_OK, parsed.from_string(certificate.get_subject().to_string()));
    EXPECT_EQ(certificate.get_subject().to_string(), parsed.to_string());
    if (name() != "printable_2048") {  // the same string types as openssl chose
        EXPECT_TRUE(parsed == certificate.get_subject());
    }
}

TEST_P(asnCertificate, PemOfCertificateAndKeyMatchesOpenssl) {
    ZEPBuffer pem = tool().readFile(name() + ".pem");
    x509_certificate fromPem, fromDer;
    ZEPPEM::read(pem, ZEPPEM::LABEL_CERTIFICATE, fromPem);
    ZEPPEM::read(der(), ZEPPEM::LABEL_CERTIFICATE, fromDer);
    EXPECT_TRUE(fromPem == fromDer);
    std::string written = ZEPPEM::write(fromPem, ZEPPEM::LABEL_CERTIFICATE);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pem.getValue()), pem.getLength()), written);

    ZEPBuffer keyPem = tool().readFile(name() + ".key");
    PrivateKeyInfo key;
    ZEPPEM::read(keyPem, ZEPPEM::LABEL_PRIVATE_KEY, key);
    EXPECT_TRUE(key.privateKeyAlgorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT));
    EXPECT_EQ(ZEPPEM::decode(keyPem, ZEPPEM::LABEL_PRIVATE_KEY), ZEPASNUtility::getDEREncoding(key));
}

TEST_P(asnCertificate, CopiesOutliveTheOriginal) {
    auto original = std::make_unique<x509_certificate>();
    ZEPASNUtility::setDEREncoding(der(), *original);
    x509_certificate copy(*original);
    x509_certificate assigned;
    assigned = *original;
    original.reset();
    EXPECT_EQ(der(), ZEPASNUtility::getDEREncoding(copy));
    EXPECT_EQ(der(), ZEPASNUtility::getDEREncoding(assigned));
    copy.tbsCertificate.serialNumber.set_value(7L);
    EXPECT_FALSE(copy == assigned);
}

TEST_P(asnCertificate, TruncatedOrChangedBytesAreRefusedOrReencodeExactly) {
    ZEPBuffer bytes = der();
    x509_certificate certificate;
    for (size_t length = 0; length < bytes.getLength(); ++length)
        ASSERT_NE(ASN_OK, certificate.read(r_buffer_t{bytes.getValue(), static_cast<unsigned int>(length)})) << length;
    EXPECT_THROW(ZEPASNUtility::setDEREncoding(ZEPBuffer(bytes.getLength() - 1, bytes.getValue()), certificate),
                 ZEPASNException);
    for (size_t i = 0; i < bytes.getLength(); i += 3) {
        ZEPBuffer changed = bytes;
        changed.getValue()[i] ^= static_cast<unsigned char>(1u << (i % 8));
        if (certificate.read(changed.get()) == ASN_OK) {
            ASSERT_EQ(changed, ZEPASNUtility::getDEREncoding(certificate)) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Openssl, asnCertificate, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(asnCertificate, ComparisonsByIssuerAndSerialAndSubject) {
    x509_certificate alice, v1;
    ZEPASNUtility::setDEREncoding(der_of(cases[1]), alice);
    ZEPASNUtility::setDEREncoding(der_of(cases[0]), v1);
    IssuerAndSerialNumber id = ZEPASNUtility::getIssuerAndSerialNumber(alice.get_issuer(), alice.get_serial_number());
    const asn_object& criterion = id;
    EXPECT_TRUE(ZEPDBUtility::downcastIssuerAndSerialNumber(criterion) ==
                ZEPASNUtility::getIssuerAndSerialNumber(alice.get_issuer(), alice.get_serial_number()));
    EXPECT_FALSE(id == ZEPASNUtility::getIssuerAndSerialNumber(v1.get_issuer(), v1.get_serial_number()));
    EXPECT_TRUE(ZEPDBUtility::downcastX500name(alice.get_subject()) == alice.get_issuer());
    EXPECT_TRUE(ZEPDBUtility::downcastBitString(alice.signature) == alice.get_signature());
    EXPECT_FALSE(ZEPDBUtility::downcastTBSCertificate(v1.tbsCertificate) == alice.tbsCertificate);
    EXPECT_THROW(ZEPDBUtility::downcastSubjectPublicKeyInfo(alice.get_subject()), ZEPASNException);
    EXPECT_THROW(ZEPDBUtility::downcastTBSCertificate(alice), ZEPASNException);
}

TEST_F(asnCertificate, OpensslAcceptsARequestBuiltHere) {
    x509_certificate alice;
    const OpenSSLTool& tool = made(cases[1]);
    ZEPASNUtility::setDEREncoding(der_of(cases[1]), alice);
    CertificationRequest request;
    CertificationRequestInfo& info = request.certificationRequestInfo;
    ASSERT_EQ(ASN_OK, info.subject.from_string("CN=Bob \\+ Co,OU=R&D+O=Example,C=DE"));
    info.subjectPKInfo = alice.get_subject_public_key_info();
    ASSERT_EQ(ASN_OK, request.signatureAlgorithm.set_value_with_null(ZEPASNOID::VALUE_SHA1WithRSA,
                                                                      ZEPASNOID::VALUE_SHA1WithRSA_COUNT));
    std::vector<unsigned char> signature(256, 0x5A);
    ASSERT_EQ(ASN_OK, request.signature.set_value(signature.data(), 8UL * signature.size()));
    tool.writeFile("bob.der", ZEPASNUtility::getDEREncoding(request));
    tool.writeFile("bob.pem", ZEPPEM::write(request, ZEPPEM::LABEL_CERTIFICATE_REQUEST));

    std::string text = tool.must("req -inform DER -in bob.der -noout -text");
    EXPECT_NE(std::string::npos, text.find("Public-Key: (2048 bit)"));
    EXPECT_EQ(info.subject.to_string(), tool.field("req -in bob.pem -noout -subject -nameopt RFC2253"));
    EXPECT_EQ(ZEPASNUtility::getDEREncoding(request),
              ZEPPEM::decode(tool.readFile("bob.pem"), ZEPPEM::LABEL_CERTIFICATE_REQUEST));
}

}  // namespace
