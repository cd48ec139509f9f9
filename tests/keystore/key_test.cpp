// Token key records and key sizes: records give back their fields byte for
// byte, refuse what is not a record, and key sizes of openssl-made RSA keys
// come out in every format that carries one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asn/asn_x500name.h"
#include "asn/zepasnutility.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrykey.h"
#include "kry/zepkryutility.h"
#include "kry/zepsha1.h"
#include "openssltool.h"
#include "zepexception.h"

namespace {

ZEPBuffer hex(const std::string& text) { return OpenSSLTool::hexBytes(text); }

ZEPBuffer subjectDER(const std::string& text) {
    asn_x500name name;
    EXPECT_EQ(ASN_OK, name.from_string(text));
    return ZEPASNUtility::getDEREncoding(name);
}

std::string paddedLabel(const std::string& label) { return label + std::string(32 - label.size(), ' '); }

TEST(KeyRecord, GivesBackEveryFieldAsBuilt) {
    struct Case {
        ZEPString label;
        ZEPBuffer id;
        unsigned int keySize;
        ZEPBuffer subject;
    };
    const std::string padded = paddedLabel("My token");
    const Case cases[] = {
        {ZEPString(padded.data(), padded.size()), ZEPSHA1::digest(hex("c301")), 2048, subjectDER("CN=Alice,O=Example")},
        {" ", ZEPSHA1::digest(hex("00")), 0, ZEPBuffer()},  // the search record of a certificate
        {ZEPString("t\0k\xff", 4), ZEPBuffer(), 128, hex("3000")},
        {"", hex("01"), 0xFFFFFFFFu, hex("00ff")},
    };
    for (const Case& c : cases) {
        ZEPPKCS11ASNKeyRecord decoded(ZEPPKCS11ASNKeyRecord(c.label, c.id, c.keySize, c.subject).getBuffer());
        EXPECT_EQ(0, decoded.getTokenLabel().compare(c.label));
        EXPECT_EQ(c.id, decoded.getObjectId());
        EXPECT_EQ(c.keySize, decoded.getKeySize());
        EXPECT_EQ(c.subject, decoded.getSubjectName());
    }
}

TEST(KeyRecord, ChangedFieldsReachTheEncoding) {
    ZEPPKCS11ASNKeyRecord record(ZEPString(" "), hex("0102"), 1024, ZEPBuffer());
    record.setSubjectName(subjectDER("CN=Bob"));
    record.setKeySize(4096);
    ZEPPKCS11ASNKeyRecord decoded(record.getBuffer());
    EXPECT_EQ(subjectDER("CN=Bob"), decoded.getSubjectName());
    EXPECT_EQ(4096u, decoded.getKeySize());
    EXPECT_EQ(hex("0102"), decoded.getObjectId());
}

TEST(KeyRecord, RefusesWhatIsNoRecord) {
    // The record of label " ", no id, 128 bits, no subject is
    // 300b 040120 0400 02020080 0400.
    const std::string inputs[] = {
        "",                                                    // nothing
        "300b" "040120" "0400" "02020080" "04",                // truncated
        "300b" "040120" "0400" "02020080" "0400" "00",         // trailing byte
        "3009" "040120" "0400" "02020080",                     // no subject
        "300a" "040120" "0400" "020180" "0400",                // negative key size
        "300e" "040120" "0400" "02050100000000" "0400",        // key size beyond 32 bits
        "300b" "0c0120" "0400" "02020080" "0400",              // label as UTF8String
        "310b" "040120" "0400" "02020080" "0400",              // a SET
    };
    for (const std::string& input : inputs) EXPECT_THROW(ZEPPKCS11ASNKeyRecord{hex(input)}, ZEPASNException) << input;
}

// The key size of one of the build's openssl keys.
unsigned int bits(int format, const std::string& file) {
    return ZEPKRYUtility::getKeySizeInBits(
        ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, format, OpenSSLTool::sharedKey(file)));
}

TEST(KeySize, IsTheModulusLengthOrTheCurveSizeOfOpensslKeys) {
    for (unsigned int size : {1024u, 2048u, 4096u}) {
        std::string name = "rsa" + std::to_string(size);
        EXPECT_EQ(size, bits(ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, name + ".spki"));
        EXPECT_EQ(size, bits(ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, name + ".p8"));
    }
    for (auto [name, size] : {std::pair{"ec", 256u}, {"ec384", 384u}, {"ec521", 521u}})
        EXPECT_EQ(size, bits(ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, name + std::string(".spki"))) << name;
}

TEST(KeySize, CountsBitsWithoutLeadingZeros) {
    // SubjectPublicKeyInfo { { rsaEncryption, NULL }, BIT STRING {
    // RSAPublicKey { modulus, 65537 } } }.
    auto bitsOfModulus = [](const std::string& modulus) {
        ZEPBuffer der = hex("301e" "300d06092a864886f70d0101010500" "030d00" "300a" "0203" + modulus + "0203010001");
        return ZEPKRYUtility::getKeySizeInBits(
            ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, der));
    };
    EXPECT_EQ(16u, bitsOfModulus("00c301"));  // top bit set: the INTEGER has a leading zero
    EXPECT_EQ(17u, bitsOfModulus("010001"));
}

TEST(KeySize, IsUnknownForOtherFormatsAndAlgorithms) {
    EXPECT_EQ(0u, bits(ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "ec.p8"));
    EXPECT_EQ(0u, bits(ZEPKRYKey::FORMAT_CLEAR_BUFFER, "rsa1024.spki"));
    EXPECT_EQ(0u, bits(ZEPKRYKey::FORMAT_NONE, "rsa1024.spki"));
    EXPECT_THROW(bits(ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "rsa1024.spki"), ZEPASNException);
    // EC keys in SubjectPublicKeyInfo { { id-ecPublicKey, curve }, point }: of
    // secp256k1, unknown; of prime256v1 with a point lacking its 04, refused.
    auto ecBits = [](const std::string& algorithm, const std::string& point) {
        ZEPBuffer der = hex(algorithm + "034200" + point + std::string(128, '1'));
        return ZEPKRYUtility::getKeySizeInBits(
            ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_EC, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO,
                      der));
    };
    EXPECT_EQ(0u, ecBits("3056" "3010" "06072a8648ce3d0201" "06052b8104000a", "04"));
    EXPECT_EQ(256u, ecBits("3059" "3013" "06072a8648ce3d0201" "06082a8648ce3d030107", "04"));
    EXPECT_THROW(ecBits("3059" "3013" "06072a8648ce3d0201" "06082a8648ce3d030107", "05"), ZEPASNException);
}

TEST(KeySize, OfATokenKeyIsTheRecordsKeySize) {
    ZEPPKCS11ASNKeyRecord record(ZEPString(" "), hex("01"), 3072, ZEPBuffer());
    ZEPKRYKey key(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                  record.getBuffer());
    EXPECT_EQ(3072u, ZEPKRYUtility::getKeySizeInBits(key));
}

}  // namespace
