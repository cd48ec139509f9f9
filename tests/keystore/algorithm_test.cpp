// The toolkit's digest helpers with and without a factory's digests, and
// the algorithms the toolkit's own factory hands out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecodealgorithm.h"
#include "kry/zepkrydigestalgorithm.h"
#include "kry/zepkryencodealgorithm.h"
#include "kry/zepkryutility.h"
#include "zepexception.h"
#include "zeputility.h"

namespace {

const ZEPBuffer abc(3, "abc");
const char sha1OfAbc[] = "a9993e364706816aba3e25717850c26c9cd0d89d";
const char md5OfAbc[] = "900150983cd24fb0d6963f7d28e17f72";

std::string hexOf(const ZEPBuffer& bytes) { return ZEPUtility::binaryToHexString(bytes).str(); }

// A factory without digests, as a token module's is.
class NoDigestFactory : public ZEPKRYAlgorithmFactory {
public:
    ZEPKRYDigestAlgorithm* make_MD5_DigestAlgorithm() const override { return nullptr; }
    ZEPKRYDigestAlgorithm* make_SHA1_DigestAlgorithm() const override { return nullptr; }
};

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

class NamedDigestFactory : public ZEPKRYAlgorithmFactory {
public:
    ZEPKRYDigestAlgorithm* make_MD5_DigestAlgorithm() const override { return new NamedDigest("md5"); }
    ZEPKRYDigestAlgorithm* make_SHA1_DigestAlgorithm() const override { return new NamedDigest("sha1"); }
};

TEST(DigestData, UsesTheFactorysDigestElseTheToolkits) {
    NoDigestFactory none;
    ZEPKRYAlgorithmFactory toolkit;
    const ZEPKRYAlgorithmFactory* const factories[] = {nullptr, &none, &toolkit};
    for (const ZEPKRYAlgorithmFactory* factory : factories) {
        EXPECT_EQ(sha1OfAbc, hexOf(ZEPKRYUtility::digestData_SHA1(abc, factory)));
        EXPECT_EQ(md5OfAbc, hexOf(ZEPKRYUtility::digestData_MD5(abc, factory)));
    }
    NamedDigestFactory named;
    EXPECT_EQ(ZEPBuffer(ZEPString("sha1")), ZEPKRYUtility::digestData_SHA1(abc, &named));
    EXPECT_EQ(ZEPBuffer(ZEPString("md5")), ZEPKRYUtility::digestData_MD5(abc, &named));
}

TEST(ToolkitFactory, DigestsInPartsAsAtOnce) {
    ZEPKRYAlgorithmFactory factory;
    std::unique_ptr<ZEPKRYDigestAlgorithm> sha1(factory.make_SHA1_DigestAlgorithm());
    ASSERT_NE(nullptr, sha1);
    EXPECT_TRUE(sha1->isKindOf("ZEPKRYDigestAlgorithm"));
    EXPECT_EQ(0, sha1->getInstanceName().compare("ZEPKRYSHA1DigestAlgorithm"));

    sha1->digestDataUpdate(ZEPBuffer(5, "stale").get());
    sha1->digestDataInit();  // drops the unfinished message
    sha1->digestDataUpdate(ZEPBuffer(1, "a").get());
    sha1->digestDataUpdate(ZEPBuffer(2, "bc").get());
    EXPECT_EQ(sha1OfAbc, hexOf(sha1->digestDataFinal()));
    EXPECT_EQ(sha1OfAbc, hexOf(sha1->digestData(abc.get())));
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
