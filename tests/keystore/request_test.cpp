// Key-store items over openssl-made keys and certificates, and PKCS#10
// requests signed through an algorithm factory that openssl accepts.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "asn/asn_x500name.h"
#include "asn/certificationrequest.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "openssltool.h"
#include "zepexception.h"

namespace {

// Signs by "openssl dgst" with the PKCS#8 key it was made for and the
// options of a signature scheme.
class OpenSSLSignature : public ZEPKRYSignatureAlgorithm {
public:
    OpenSSLSignature(const OpenSSLTool& tool, const ZEPKRYKey& key, std::string options)
        : tool_(tool), options_(std::move(options)) {
        tool_.writeFile("signing.p8", key.getKeyBlob());
    }
    ZEPBuffer signData(const r_buffer_t& data) override {
        tool_.writeFile("tbs.der", ZEPBuffer(data));
        tool_.must("dgst " + options_ + " -sign signing.p8 -keyform DER -out signature.bin tbs.der");
        return tool_.readFile("signature.bin");
    }
    void signDataInit() override { message_.clear(); }
    void signDataUpdate(const r_buffer_t& data) override { message_.append(ZEPBuffer(data)); }
    ZEPBuffer signDataFinal() override { return signData(message_.get()); }

private:
    const OpenSSLTool& tool_;
    std::string options_;
    ZEPBuffer message_;
};

// A signature that fails, as one on a removed token does.
class FailingSignature : public OpenSSLSignature {
public:
    using OpenSSLSignature::OpenSSLSignature;
    ZEPBuffer signData(const r_buffer_t&) override { throw ZEPException("test", 1, 577909, "C_Sign"); }
};

const std::string PSS = " -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest";

// Signs with software keys (PrivateKeyInfo) only, each maker as openssl
// makes such signatures.
template <typename Signature>
class OpenSSLFactory : public ZEPKRYAlgorithmFactory {
public:
    explicit OpenSSLFactory(const OpenSSLTool& tool) : tool_(tool) {}
    ZEPKRYSignatureAlgorithm* make_SHA1WithRSA_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha1");
    }
    ZEPKRYSignatureAlgorithm* make_SHA224WithRSA_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha224");
    }
    ZEPKRYSignatureAlgorithm* make_SHA256WithRSA_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha256");
    }
    ZEPKRYSignatureAlgorithm* make_SHA384WithRSA_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha384");
    }
    ZEPKRYSignatureAlgorithm* make_SHA512WithRSA_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha512");
    }
    ZEPKRYSignatureAlgorithm* make_SHA256WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha256" + PSS);
    }
    ZEPKRYSignatureAlgorithm* make_SHA384WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha384" + PSS);
    }
    ZEPKRYSignatureAlgorithm* make_SHA512WithRSAPSS_SignatureAlgorithm(const ZEPKRYKey& key) const override {
        return make(key, "-sha512" + PSS);
    }

private:
    ZEPKRYSignatureAlgorithm* make(const ZEPKRYKey& key, const std::string& options) const {
        return key.getFormat() == ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO ? new Signature(tool_, key, options) : nullptr;
    }
    const OpenSSLTool& tool_;
};

class Items : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tool = new OpenSSLTool();
        tool->copySharedKey("rsa2048.pem", "key.pem");
        tool->must("req -x509 -key key.pem -out cert.der -outform DER -days 1 -subj '/CN=Alice/O=Example'");
        tool->copySharedKey("rsa2048.spki", "key.spki");
        tool->copySharedKey("rsa2048.p8", "key.p8");
    }
    static void TearDownTestSuite() {
        delete tool;
        tool = nullptr;
    }

    static ZEPKRYKey key(int type, int format, const std::string& file) {
        return ZEPKRYKey(type, ZEPKRYKey::ALGORITHM_RSA, format, tool->readFile(file));
    }
    static ZEPKeyCertReqItem request() {
        asn_x500name subject;
        EXPECT_EQ(ASN_OK, subject.from_string("O=Example,CN=Alice"));
        return ZEPKeyCertReqItem(key(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO, "key.spki"),
                                 key(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "key.p8"),
                                 ZEPASNUtility::getDEREncoding(subject), ZEPBuffer(5, "alice"));
    }

    static OpenSSLTool* tool;
};

OpenSSLTool* Items::tool = nullptr;

TEST_F(Items, KeyCertItemIsKnownByItsCertificate) {
    ZEPKeyItem keyItem(key(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "key.p8"), ZEPBuffer(3, "key"));
    ZEPKeyCertItem pair(keyItem, ZEPCertItem(tool->readFile("cert.der"), ZEPBuffer(4, "cert")));
    EXPECT_EQ(ZEPBuffer(4, "cert"), pair.getLabel());
    EXPECT_EQ(ZEPBuffer(3, "key"), pair.getKeyItem().getLabel());

    x509_certificate certificate;
    EXPECT_EQ("O=Example,CN=Alice", pair.getCertificate(certificate).get_subject().to_string());
    ZEPCertItem broken(ZEPBuffer(2, "\x30\x01"), ZEPBuffer());
    EXPECT_THROW(broken.getCertificate(certificate), ZEPASNException);
}

// Each scheme (none: the call without one) and the options with which
// openssl signs a request so. openssl must accept the signature, and the
// request must name its algorithm as openssl's own request does.
TEST_F(Items, SignedRequestIsAcceptedByOpensslAndNamesItsAlgorithmAsOpensslDoes) {
    const struct {
        std::optional<ZEPKRYSignatureScheme> scheme;
        std::string options;
    } rows[] = {
        {std::nullopt, "-sha1"},
        {ZEPKRYSignatureScheme::SHA1_WITH_RSA, "-sha1"},
        {ZEPKRYSignatureScheme::SHA224_WITH_RSA, "-sha224"},
        {ZEPKRYSignatureScheme::SHA256_WITH_RSA, "-sha256"},
        {ZEPKRYSignatureScheme::SHA384_WITH_RSA, "-sha384"},
        {ZEPKRYSignatureScheme::SHA512_WITH_RSA, "-sha512"},
        {ZEPKRYSignatureScheme::SHA256_WITH_RSA_PSS, "-sha256" + PSS},
        {ZEPKRYSignatureScheme::SHA384_WITH_RSA_PSS, "-sha384" + PSS},
        {ZEPKRYSignatureScheme::SHA512_WITH_RSA_PSS, "-sha512" + PSS},
    };
    for (const auto& row : rows) {
        ZEPKeyCertReqItem item = request();
        CertificationRequest out;
        const OpenSSLFactory<OpenSSLSignature> factory(*tool);
        if (row.scheme)
            item.getSignedCertificationRequest(out, factory, *row.scheme);
        else
            item.getSignedCertificationRequest(out, factory);
        EXPECT_EQ(item.getSignedRequestDER(), ZEPASNUtility::getDEREncoding(out));
        tool->writeFile("request.der", item.getSignedRequestDER());
        // openssl req ends with status 0 whether the signature verifies or not.
        EXPECT_EQ("Certificate request self-signature verify OK\n",
                  tool->run("req -inform DER -in request.der -verify -noout 2>&1"))
            << row.options;

        tool->must("req -new -key key.pem -subj /CN=Bob -outform DER -out own.der " + row.options);
        CertificationRequest own;
        ZEPASNUtility::setDEREncoding(tool->readFile("own.der"), own);
        EXPECT_EQ(ZEPASNUtility::getDEREncoding(own.signatureAlgorithm),
                  ZEPASNUtility::getDEREncoding(out.signatureAlgorithm))
            << row.options;
    }
    EXPECT_EQ(tool->must("rsa -in key.pem -noout -modulus"), tool->must("req -inform DER -in request.der -noout -modulus"));
    EXPECT_EQ("subject=CN = Alice, O = Example\n", tool->must("req -inform DER -in request.der -noout -subject"));
}

TEST_F(Items, FailedSigningLeavesTheItemUnsigned) {
    ZEPKeyCertReqItem item = request();
    EXPECT_EQ(ZEPBuffer(5, "alice"), item.getPrivateKeyItem().getLabel());
    EXPECT_EQ(ZEPBuffer(5, "alice"), item.getPublicKeyItem().getLabel());
    CertificationRequest out;
    EXPECT_THROW(item.getSignedCertificationRequest(out, ZEPKRYAlgorithmFactory()), ZEPException);
    EXPECT_THROW(item.getSignedCertificationRequest(out, OpenSSLFactory<FailingSignature>(*tool)), ZEPException);

    ZEPKeyCertReqItem publicKeyAsPrivateKeyInfo(
        key(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, "key.p8"),
        item.getPrivateKeyItem().getKey(), item.getSubjectName(), item.getLabel());
    try {
        publicKeyAsPrivateKeyInfo.getSignedCertificationRequest(out, OpenSSLFactory<OpenSSLSignature>(*tool));
        ADD_FAILURE() << "a public key in PrivateKeyInfo format was taken";
    } catch (const ZEPException& refusal) {
        EXPECT_EQ(571004, refusal.getCode());  // unsupported key format, not a DER error
    }
    EXPECT_TRUE(item.getSignedRequestDER().empty());
    EXPECT_TRUE(publicKeyAsPrivateKeyInfo.getSignedRequestDER().empty());
}

}  // namespace
