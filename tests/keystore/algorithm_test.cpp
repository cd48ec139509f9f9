// The toolkit's digest helpers with and without a factory's digests, the
// DigestInfo of each digest, and the algorithms the toolkit's own factory
// hands out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecodealgorithm.h"
#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepkrydigesttype.h"
#include "kry/zepkryencodealgorithm.h"
#include "kry/zepkryutility.h"
#include "openssltool.h"
#include "zepexception.h"
#include "zeputility.h"

namespace {

const ZEPBuffer abc(3, "abc");

std::string hexOf(const ZEPBuffer& bytes) { return ZEPUtility::binaryToHexString(bytes).str(); }

// A digest that answers with its name, to show whose digest was used.
class NamedDigest : public ZEPKRYDigestAlgorithm {
public:
    explicit NamedDigest(const char* name) : name_(name) {}
    ZEPBuffer digestData(const r_buffer_t&) override { return ZEPBuffer(name_); }
    void digestDataInit() override {}
    void digestDataUpdate(const r_buffer_t&) override {}
    ZEPBuffer digestDataFinal() override { return ZEPBuffer(); }

private:
    ZEPString name_;
};

// A factory whose digests answer with their names, or one without digests,
// as a token module's is.
class TestDigestFactory : public ZEPKRYAlgorithmFactory {
public:
    explicit TestDigestFactory(bool offersDigests) : offersDigests_(offersDigests) {}
    ZEPKRYDigestAlgorithm* make_MD5_DigestAlgorithm() const override { return named("MD5"); }
    ZEPKRYDigestAlgorithm* make_SHA1_DigestAlgorithm() const override { return named("SHA1"); }
    ZEPKRYDigestAlgorithm* make_SHA224_DigestAlgorithm() const override { return named("SHA224"); }
    ZEPKRYDigestAlgorithm* make_SHA256_DigestAlgorithm() const override { return named("SHA256"); }
    ZEPKRYDigestAlgorithm* make_SHA384_DigestAlgorithm() const override { return named("SHA384"); }
    ZEPKRYDigestAlgorithm* make_SHA512_DigestAlgorithm() const override { return named("SHA512"); }

private:
    ZEPKRYDigestAlgorithm* named(const char* name) const { return offersDigests_ ? new NamedDigest(name) : nullptr; }
    bool offersDigests_;
};

// Each digest with its helper, its maker and the digest of "abc" that FIPS
// 180 gives.
struct DigestRow {
    const char* name;
    ZEPBuffer (*digestData)(const ZEPBuffer&, const ZEPKRYAlgorithmFactory*);
    ZEPKRYDigestAlgorithm* (ZEPKRYAlgorithmFactory::*make)() const;
    const char* ofAbc;
};
const DigestRow digests[] = {
    {"MD5", ZEPKRYUtility::digestData_MD5, &ZEPKRYAlgorithmFactory::make_MD5_DigestAlgorithm,
     "900150983cd24fb0d6963f7d28e17f72"},
    {"SHA1", ZEPKRYUtility::digestData_SHA1, &ZEPKRYAlgorithmFactory::make_SHA1_DigestAlgorithm,
     "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"SHA224", ZEPKRYUtility::digestData_SHA224, &ZEPKRYAlgorithmFactory::make_SHA224_DigestAlgorithm,
     "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
    {"SHA256", ZEPKRYUtility::digestData_SHA256, &ZEPKRYAlgorithmFactory::make_SHA256_DigestAlgorithm,
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"SHA384", ZEPKRYUtility::digestData_SHA384, &ZEPKRYAlgorithmFactory::make_SHA384_DigestAlgorithm,
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {"SHA512", ZEPKRYUtility::digestData_SHA512, &ZEPKRYAlgorithmFactory::make_SHA512_DigestAlgorithm,
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
     "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
};

TEST(DigestData, UsesTheFactorysDigestElseTheToolkits) {
    TestDigestFactory none(false);
    ZEPKRYAlgorithmFactory toolkit;
    TestDigestFactory named(true);
    const ZEPKRYAlgorithmFactory* const factories[] = {nullptr, &none, &toolkit};
    for (const DigestRow& row : digests) {
        for (const ZEPKRYAlgorithmFactory* factory : factories)
            EXPECT_EQ(row.ofAbc, hexOf(row.digestData(abc, factory))) << row.name;
        EXPECT_EQ(ZEPBuffer(ZEPString(row.name)), row.digestData(abc, &named));
    }
}

TEST(ToolkitFactory, DigestsInPartsAsAtOnce) {
    ZEPKRYAlgorithmFactory factory;
    for (const DigestRow& row : digests) {
        std::unique_ptr<ZEPKRYDigestAlgorithm> digest((factory.*row.make)());
        ASSERT_NE(nullptr, digest);
        EXPECT_TRUE(digest->isKindOf("ZEPKRYDigestAlgorithm"));
        EXPECT_EQ("ZEPKRY" + std::string(row.name) + "DigestAlgorithm", digest->getInstanceName().c_str());

        digest->digestDataUpdate(ZEPBuffer(5, "stale").get());
        digest->digestDataInit();  // drops the unfinished message
        digest->digestDataUpdate(ZEPBuffer(1, "a").get());
        digest->digestDataUpdate(ZEPBuffer(2, "bc").get());
        EXPECT_EQ(row.ofAbc, hexOf(digest->digestDataFinal())) << row.name;
        EXPECT_EQ(row.ofAbc, hexOf(digest->digestData(abc.get()))) << row.name;
    }
}

// What openssl signs in a PKCS#1 v1.5 signature of each digest, and so what
// CKM_RSA_PKCS must be given to make the same signature.
TEST(DigestType, DigestInfoIsWhatOpenSSLSigns) {
    OpenSSLTool tool;
    tool.copySharedKey("rsa1024.pem", "key.pem");
    tool.writeFile("abc", abc);
    const struct {
        ZEPKRYDigestType type;
        const char* openssl;
    } rows[] = {{ZEPKRYDigestType::MD5, "md5"},       {ZEPKRYDigestType::SHA1, "sha1"},
                {ZEPKRYDigestType::SHA224, "sha224"}, {ZEPKRYDigestType::SHA256, "sha256"},
                {ZEPKRYDigestType::SHA384, "sha384"}, {ZEPKRYDigestType::SHA512, "sha512"}};
    for (const auto& row : rows) {
        tool.must(std::string("dgst -") + row.openssl + " -sign key.pem -out signature abc");
        tool.must("pkeyutl -verifyrecover -inkey key.pem -in signature -out signed");
        EXPECT_EQ(tool.readFile("signed"), row.type.getDigestInfo(row.type.digestData(abc))) << row.openssl;
    }
    EXPECT_THROW(ZEPKRYDigestType(ZEPKRYDigestType::SHA256).getDigestInfo(ZEPKRYUtility::digestData_SHA1(abc)),
                 ZEPASNException);
}

TEST(ToolkitFactory, Base64RoundTrip) {
    ZEPKRYAlgorithmFactory factory;
    std::unique_ptr<ZEPKRYEncodeAlgorithm> encoder(factory.make_BASE64_EncodeAlgorithm());
    std::unique_ptr<ZEPKRYDecodeAlgorithm> decoder(factory.make_BASE64_DecodeAlgorithm());
    ASSERT_NE(nullptr, encoder);
    ASSERT_NE(nullptr, decoder);

    EXPECT_EQ(ZEPBuffer(ZEPString("Zm9vYmFy")), encoder->encodeData(ZEPBuffer(6, "foobar").get()));
    const unsigned char binary[] = {0x00, 0xff, 0xfe, 0x80, 0x7f};
    for (size_t length = 0; length <= sizeof binary; ++length) {
        ZEPBuffer bytes(length, binary);
        EXPECT_EQ(bytes, decoder->decodeData(encoder->encodeData(bytes.get()).get())) << length;
    }
    EXPECT_EQ(ZEPBuffer(6, "foobar"), decoder->decodeData(ZEPBuffer(ZEPString("Zm9v\nYmFy")).get()));
    EXPECT_THROW(decoder->decodeData(ZEPBuffer(ZEPString("Zm9v*")).get()), ZEPASNException);
}

}  // namespace
