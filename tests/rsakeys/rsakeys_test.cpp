// The RSA key containers: component rules, exact DER, openssl-made keys
// byte for byte, copies, failures and trace records.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <sstream>

#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "openssltool.h"
#include "tracecapture.h"
#include "zepexception.h"
#include "zepsubjectpublickeyinfo.h"

namespace {

// Hexadecimal digits, other characters skipped; an odd count gets a leading 0.
ZEPBuffer hex(std::string digits) {
    std::erase_if(digits, [](char c) { return !std::isxdigit(static_cast<unsigned char>(c)); });
    if (digits.size() % 2) digits.insert(0, "0");
    ZEPBuffer out;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.append(1, std::array{static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16))}.data());
    return out;
}

struct Component {
    const char* name;  // as "openssl rsa -text" prints it
    ZEPBuffer (ZEPPrivateKeyInfo::*get)() const;
    void (ZEPPrivateKeyInfo::*set)(const ZEPBuffer&);
};
const Component components[] = {
    {"publicExponent", &ZEPPrivateKeyInfo::getPublicExponent, &ZEPPrivateKeyInfo::setPublicExponent},
    {"privateExponent", &ZEPPrivateKeyInfo::getPrivateExponent, &ZEPPrivateKeyInfo::setPrivateExponent},
    {"prime1", &ZEPPrivateKeyInfo::getPrime1, &ZEPPrivateKeyInfo::setPrime1},
    {"prime2", &ZEPPrivateKeyInfo::getPrime2, &ZEPPrivateKeyInfo::setPrime2},
    {"exponent1", &ZEPPrivateKeyInfo::getExponent1, &ZEPPrivateKeyInfo::setExponent1},
    {"exponent2", &ZEPPrivateKeyInfo::getExponent2, &ZEPPrivateKeyInfo::setExponent2},
    {"coefficient", &ZEPPrivateKeyInfo::getCoefficient, &ZEPPrivateKeyInfo::setCoefficient}};

const unsigned long* const rsa = ZEPASNOID::VALUE_RSA;
const std::string rsaAlgorithm = "300d06092a864886f70d0101010500";
// Modulus C3 01, public exponent 65537.
const std::string smallPublicKey = "301e" + rsaAlgorithm + "030d00 300a 020300c301 0203010001";

}  // namespace

TEST(RSAKeyComponents, SettersStoreTheBytesAndOnlyTheModulusIsMadePositive) {
    ZEPSubjectPublicKeyInfo key;
    key.setAlgorithm(rsa, 7);
    const char* cases[][4] = {  // input; modulus content and magnitude; exponent content
        {"c301", "00c301", "c301", "c301"}, {"0000c3", "0000c3", "c3", "0000c3"}, {"00", "00", "", "00"},
        {"00010001", "00010001", "010001", "00010001"}, {"ffff01", "00ffff01", "ffff01", "ffff01"}};
    for (const auto& c : cases) {
        key.setModulus(hex(c[0]));
        key.setPublicExponent(hex(c[0]));
        EXPECT_TRUE(key.getModulus(false) == hex(c[1]) && key.getModulus(true) == hex(c[2]) &&
                    key.getPublicExponent() == hex(c[3])) << c[0];
        ZEPSubjectPublicKeyInfo reloaded(key.getDER());  // the bytes travel through DER as they are
        EXPECT_TRUE(reloaded.getModulus(false) == hex(c[1]) && reloaded.getPublicExponent() == hex(c[3])) << c[0];
    }
    ZEPPrivateKeyInfo privateKey;
    privateKey.setAlgorithm(rsa, 7);
    for (const Component& c : components) {
        (privateKey.*c.set)(hex("ff80"));
        EXPECT_EQ((privateKey.*c.get)(), hex("ff80")) << c.name;
    }
    try {
        key.setPublicExponent(ZEPBuffer());
        ADD_FAILURE() << "an empty exponent was accepted";
    } catch (const ZEPASNException& e) {
        EXPECT_TRUE(e.getCode() == ASN_BAD_ARGUMENT && e.getFile() == std::string("zepsubjectpublickeyinfo") &&
                    e.getMessage().empty()) << e.what();
    }
    EXPECT_EQ(key.getPublicExponent(), hex("ffff01"));
}

// Modulus C3 01, the other components 3, 5, 7 ... F: empty to the getters
// without rsaEncryption, and encoded exactly with it.
TEST(RSAKeyComponents, BuiltKeysEncodeExactlyAndShowOnlyUnderRSA) {
    ZEPSubjectPublicKeyInfo publicKey;
    ZEPPrivateKeyInfo privateKey;
    publicKey.setModulus(hex("c301"));
    publicKey.setPublicExponent(hex("010001"));
    privateKey.setModulus(hex("c301"));
    const char* digit = "3579bdf";
    for (const Component& c : components) (privateKey.*c.set)(hex(std::string(1, *digit++)));
    auto expectEmpty = [&](bool empty) {
        for (bool strip : {false, true})
            EXPECT_TRUE(publicKey.getModulus(strip).empty() == empty && privateKey.getModulus(strip).empty() == empty);
        EXPECT_EQ(publicKey.getPublicExponent().empty(), empty);
        for (const Component& c : components) EXPECT_EQ((privateKey.*c.get)().empty(), empty) << c.name;
    };
    expectEmpty(true);
    for (const unsigned long* algorithm : {ZEPASNOID::VALUE_SHA1WithRSA, rsa}) {
        publicKey.setAlgorithm(algorithm, 7);
        privateKey.setAlgorithm(algorithm, 7);
        expectEmpty(algorithm != rsa);
    }
    EXPECT_EQ(publicKey.getDER(), hex(smallPublicKey));
    // Version 0, no attributes, an RSAPrivateKey of version 0; version 0 also when 1 was loaded.
    ZEPBuffer expected = hex("3033 020100" + rsaAlgorithm + "041f 301d 020100 020300c301 020103 020105 020107 020109 "
                             "02010b 02010d 02010f");
    EXPECT_EQ(privateKey.getDER(), expected);
    ZEPBuffer version1 = expected;
    version1.getValue()[4] = 0x01;
    privateKey.setDER(version1);
    EXPECT_EQ(privateKey.getDER(), expected);
}

// The build's 2048-bit openssl key, with the numbers that
// "openssl rsa -text" prints: hex lines below a name, or "(0x...)" after it.
class RSAKeyOpenSSL : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OpenSSLTool openssl;
        openssl.copySharedKey("rsa2048.pem", "key.pem");
        publicDER = OpenSSLTool::sharedKey("rsa2048.spki");
        privateDER = OpenSSLTool::sharedKey("rsa2048.p8");
        std::istringstream lines(openssl.must("rsa -in key.pem -text -noout"));
        std::map<std::string, std::string> digits;
        for (std::string line, name; std::getline(lines, line);) {
            if (line[0] == ' ') digits[name] += line;
            else if (name = line.substr(0, line.find(':')); line.find("(0x") != std::string::npos)
                digits[name] = line.substr(line.find("(0x") + 3);
        }
        for (const auto& [name, value] : digits) numbers[name] = hex(value);
    }

    static inline ZEPBuffer publicDER, privateDER;
    static inline std::map<std::string, ZEPBuffer> numbers;
};

TEST_F(RSAKeyOpenSSL, KeysRoundTripAndHoldOpenSSLsNumbers) {
    const ZEPBuffer& modulus = numbers.at("modulus");  // 00 first: a 2048-bit modulus has its top bit set
    ZEPSubjectPublicKeyInfo publicKey(publicDER);
    ZEPPrivateKeyInfo privateKey;
    privateKey.setDER(privateDER);
    EXPECT_EQ(publicKey.getDER(), publicDER);
    EXPECT_EQ(privateKey.getDER(), privateDER);
    EXPECT_TRUE(publicKey.getModulus(false) == modulus && privateKey.getModulus(false) == modulus);
    EXPECT_EQ(publicKey.getModulus(true), ZEPBuffer(modulus.getLength() - 1, modulus.getValue() + 1));
    EXPECT_EQ(publicKey.getPublicExponent(), numbers.at("publicExponent"));
    for (const Component& c : components) EXPECT_EQ((privateKey.*c.get)(), numbers.at(c.name)) << c.name;
}

// Copies take the source's DER: a component set without a getDER since
// stays behind.
TEST_F(RSAKeyOpenSSL, CopiesGoThroughTheSourcesDERAndOutliveIt) {
    auto original = std::make_unique<ZEPPrivateKeyInfo>(privateDER);
    original->setPrime1(hex("07"));
    auto plain = std::make_unique<SubjectPublicKeyInfo>();
    ZEPASNUtility::setDEREncoding(publicDER, *plain);
    ZEPPrivateKeyInfo copied(*original), assigned, viaBase(static_cast<const PrivateKeyInfo&>(*original));
    assigned = *original;
    original->getDER();
    ZEPPrivateKeyInfo afterGetDER(*original);
    ZEPSubjectPublicKeyInfo fromToolkit(*plain), assignedFromToolkit;
    assignedFromToolkit = *plain;
    original.reset();
    plain.reset();
    for (ZEPPrivateKeyInfo* copy : {&copied, &assigned, &viaBase})
        EXPECT_TRUE(copy->getPrime1() == numbers.at("prime1") && copy->getDER() == privateDER);
    EXPECT_EQ(afterGetDER.getPrime1(), hex("07"));
    EXPECT_TRUE(fromToolkit.getDER() == publicDER && assignedFromToolkit.getDER() == publicDER);

    // A private key's assignment sets version 0 before it copies.
    ZEPBuffer version1 = privateDER;
    version1.getValue()[6] = 0x01;
    ZEPPrivateKeyInfo target(version1);
    EXPECT_THROW(target = ZEPPrivateKeyInfo(), ZEPASNException);  // no algorithm: no DER
    long version = -1;
    EXPECT_TRUE(target.version.get_value(version) == ASN_OK && version == 0);
    EXPECT_EQ(target.getPrime1(), numbers.at("prime1"));
}

TEST_F(RSAKeyOpenSSL, BadDERThrowsAndLeavesTheKeyAsItWas) {
    SubjectPublicKeyInfo integerKey;  // an INTEGER where the RSAPublicKey belongs
    ZEPASNUtility::setDEREncoding(publicDER, integerKey);
    ASSERT_EQ(integerKey.subjectPublicKey.set_value(hex("020105")), ASN_OK);
    const ZEPBuffer bad[] = {ZEPBuffer(publicDER.getLength() - 1, publicDER.getValue()),
                             ZEPASNUtility::getDEREncoding(integerKey), hex("3000"), privateDER};
    ZEPSubjectPublicKeyInfo key(publicDER);
    ZEPPrivateKeyInfo privateKey(privateDER);
    for (const ZEPBuffer& der : bad) {
        EXPECT_THROW(key.setDER(der), ZEPASNException) << der;
        EXPECT_THROW(ZEPSubjectPublicKeyInfo{der}, ZEPASNException) << der;
    }
    EXPECT_THROW(privateKey.setDER(publicDER), ZEPASNException);
    EXPECT_TRUE(key.getDER() == publicDER && privateKey.getDER() == privateDER);
}

TEST(RSAKeyTrace, OperationsAreTracedUnderComponentOne) {
    TraceCapture capture;
    ZEPTrace::instance->setComponentMask(0x200);
    ZEPSubjectPublicKeyInfo key(hex(smallPublicKey));
    EXPECT_TRUE(capture.records().empty());
    ZEPTrace::instance->setComponentMask(1);
    ZEPSubjectPublicKeyInfo copy(key);
    copy = key;
    ZEPPrivateKeyInfo().setPrime1(hex("07"));
    const std::vector<std::string> entries = {"ZEPSubjectPublicKeyInfo::ctor()", "ZEPSubjectPublicKeyInfo::operator=()",
                                              "ZEPPrivateKeyInfo::ctor()", "ZEPPrivateKeyInfo::setPrime1()"};
    EXPECT_EQ(capture.texts(ZEPTrace::LEVEL_ENTRY), entries);
    EXPECT_EQ(capture.texts(ZEPTrace::LEVEL_EXIT).size(), entries.size());
    EXPECT_EQ(capture.records().at(0).file, "zepsubjectpublickeyinfo");
}
