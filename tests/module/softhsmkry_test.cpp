// The token-backed algorithms on SoftHSM2: signatures of every kind verify
// with openssl, whether the token signs with a combined mechanism or is given
// the digest, and signatures and searches on a shared session do not collide.
// (keydb's crypto tests cover encryption, generated pairs and requests on
// SoftHSM2.)
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <regex>
#include <memory>
#include <optional>
#include <thread>

#include "asn/asn_x500name.h"
#include "asn/certificationrequest.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "mechanisminfolist.h"
#include "openssltool.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"
#include "slotmanagerutility.h"
#include "softhsmtest.h"
#include "testtokentest.h"
#include "zeputility.h"

namespace {

ZEPBuffer text(const std::string& value) { return ZEPBuffer(value.size(), value.data()); }

class SoftHSMAlgorithms : public ::testing::Test {
protected:
    SoftHSMAlgorithms() { connect(); }

    // Connects to the fixture's token and logs in, with a read-write session.
    void connect() {
        slot_.reset();
        // The last reference finalises the library: the next initialisation
        // reads the configuration again.
        manager_.reset();
        manager_ = std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()));
        std::vector<CK_SLOT_ID> slots;
        manager_->getSlotIds(slots);
        for (CK_SLOT_ID id : slots) {
            slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(id, 1)));
            if (slot_->isTokenPresent() && slot_->getLabel().str().rfind(token_.label() + " ", 0) == 0) break;
        }
        slot_->login(text(token_.userPin()));
        factory_.reset(slot_->getZEPKRYAlgorithmFactory());
    }

    // A key pair generated through the factory; `id_` holds its CKA_ID in
    // lower-case hexadecimal, as pkcs11-tool prints it.
    ZEPKRYKeyPair generate(unsigned int bits = 1024) {
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_RSA_PublicKeyGenAlgorithm(bits));
        ZEPKRYKeyPair pair = generator->generateKeyPair();
        id_ = ZEPUtility::binaryToHexString(ZEPPKCS11ASNKeyRecord(pair.getPrivateKey().getKeyBlob()).getObjectId()).str();
        return pair;
    }

    // The generated public key as pkcs11-tool reads it back: the path of its
    // DER SubjectPublicKeyInfo.
    std::string readPublicKey() {
        const std::string file = path("public.der");
        runPkcs11Tool(token_, "--read-object --type pubkey --id " + id_ + " -o " + file);
        return file;
    }

    std::string path(const std::string& name) const { return token_.folder() + "/" + name; }

    std::string write(const std::string& name, const ZEPBuffer& bytes) const {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.getValue()), static_cast<std::streamsize>(bytes.getLength()));
        return path(name);
    }

    using Maker = ZEPKRYSignatureAlgorithm* (ZEPKRYAlgorithmFactory::*)(const ZEPKRYKey&) const;

    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(Maker maker, const ZEPKRYKey& key) {
        return std::unique_ptr<ZEPKRYSignatureAlgorithm>((factory_.get()->*maker)(key));
    }

    SoftHSMToken token_;
    OpenSSLTool openssl_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory_;
    std::string id_;
};

// Every kind, signed whole, empty and in parts (an empty one among them),
// verifies with openssl, first through the token's combined mechanisms, then
// on the same token offering only CKM_RSA_PKCS and CKM_RSA_PKCS_PSS, where the
// module gives the token the digest. PKCS#1 v1.5 signatures come out the
// same both ways; RSA-PSS ones differ by their random salt.
TEST_F(SoftHSMAlgorithms, SignaturesVerifyWithOpenSSLAndComeOutTheSameThroughTheDigestInfo) {
    using Factory = ZEPKRYAlgorithmFactory;
    struct Case {
        Maker maker;
        const char* digest;
        bool pss;
    };
    const Case cases[] = {
        {&Factory::make_MD5WithRSA_SignatureAlgorithm, "md5", false},
        {&Factory::make_SHA1WithRSA_SignatureAlgorithm, "sha1", false},
        {&Factory::make_SHA224WithRSA_SignatureAlgorithm, "sha224", false},
        {&Factory::make_SHA256WithRSA_SignatureAlgorithm, "sha256", false},
        {&Factory::make_SHA384WithRSA_SignatureAlgorithm, "sha384", false},
        {&Factory::make_SHA512WithRSA_SignatureAlgorithm, "sha512", false},
        {&Factory::make_SHA256WithRSAPSS_SignatureAlgorithm, "sha256", true},
        {&Factory::make_SHA384WithRSAPSS_SignatureAlgorithm, "sha384", true},
        {&Factory::make_SHA512WithRSAPSS_SignatureAlgorithm, "sha512", true},
    };
    // SHA-512 RSA-PSS with a 64-byte salt needs more than 1024 bits.
    const ZEPKRYKey privateKey = generate(2048).getPrivateKey();
    const std::string publicKey = readPublicKey();
    const ZEPBuffer data = text("signed on the token");
    const std::string dataFile = write("data", data), emptyFile = write("empty", ZEPBuffer());
    std::map<const Case*, ZEPBuffer> combined;
    const auto signAndVerify = [&](const Case& c, bool inParts) {
        const std::string verify = std::string("dgst -") + c.digest + " -verify " + publicKey + " -keyform DER " +
                                   (c.pss ? "-sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest " : "") +
                                   "-signature ";
        const ZEPBuffer signature = signer(c.maker, privateKey)->signData(data.get());
        openssl_.must(verify + write("signature", signature) + " " + dataFile);
        openssl_.must(verify + write("signature", signer(c.maker, privateKey)->signData(ZEPBuffer().get())) + " " +
                      emptyFile);
        if (!inParts) return signature;
        const auto multiPart = signer(c.maker, privateKey);
        multiPart->signDataInit();
        for (const char* part : {"signed on", "", " the token"}) multiPart->signDataUpdate(text(part).get());
        const ZEPBuffer partsSignature = multiPart->signDataFinal();
        openssl_.must(verify + write("signature", partsSignature) + " " + dataFile);
        if (!c.pss) {
            EXPECT_EQ(partsSignature, signature);
        }
        return signature;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.digest) + (c.pss ? " PSS" : ""));
        combined[&c] = signAndVerify(c, true);
    }

    token_.restrictMechanisms("CKM_RSA_PKCS,CKM_RSA_PKCS_PSS,CKM_RSA_PKCS_KEY_PAIR_GEN");
    factory_.reset();
    connect();
    const MechanismInfoList mechanisms(*slot_);
    ASSERT_FALSE(mechanisms.contains(CKM_SHA1_RSA_PKCS) || mechanisms.contains(CKM_SHA256_RSA_PKCS_PSS));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.digest) + (c.pss ? " PSS, digest given" : ", DigestInfo"));
        // MD5 and SHA-1 hand their parts to CKM_RSA_PKCS, which SoftHSM2
        // signs in one part only.
        const ZEPBuffer signature = signAndVerify(c, c.maker != cases[0].maker && c.maker != cases[1].maker);
        if (!c.pss) {
            EXPECT_EQ(signature, combined[&c]);
        }
    }
}

// An EC pair generated on each curve, on a token offering CKM_ECDSA alone:
// both objects carry the SHA-1 of the point as CKA_ID (the key identifier
// openssl gives a certificate of the returned public key) and its
// hexadecimal text as label, and its ECDSA signatures over each digest,
// whole, empty and in parts, verify with openssl: the module gives the token
// the digest and turns its r||s into DER. EC keys refuse to encrypt.
TEST_F(SoftHSMAlgorithms, ECKeyPairsAreNamedByTheirPointAndSignAsOpenSSLVerifies) {
    using Factory = ZEPKRYAlgorithmFactory;
    const struct {
        Maker maker;
        const char* digest;
    } hashes[] = {{&Factory::make_ECDSAWithSHA256_SignatureAlgorithm, "sha256"},
                  {&Factory::make_ECDSAWithSHA384_SignatureAlgorithm, "sha384"},
                  {&Factory::make_ECDSAWithSHA512_SignatureAlgorithm, "sha512"}};
    token_.restrictMechanisms("CKM_ECDSA,CKM_EC_KEY_PAIR_GEN");
    factory_.reset();
    connect();
    openssl_.copySharedKey("ec.pem", "issuer.pem");
    openssl_.writeFile("keyid.cnf", std::string("subjectKeyIdentifier=hash\n"));
    const ZEPBuffer data = text("signed on the token");
    const std::string dataFile = write("data", data), emptyFile = write("empty", ZEPBuffer());
    std::vector<std::string> ids;
    ZEPKRYKey privateKey;
    for (const ZEPECCurve* curve : {&ZEPECCurve::P256, &ZEPECCurve::P384, &ZEPECCurve::P521}) {
        SCOPED_TRACE(curve->getName());
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_EC_PublicKeyGenAlgorithm(*curve));
        const ZEPKRYKeyPair pair = generator->generateKeyPair();
        privateKey = pair.getPrivateKey();
        const ZEPPKCS11ASNKeyRecord record(privateKey.getKeyBlob());
        EXPECT_EQ(record.getKeySize(), curve->getFieldBits());
        openssl_.writeFile("public.der", pair.getPublicKey().getKeyBlob());
        openssl_.must("x509 -new -subj /CN=ec -key issuer.pem -force_pubkey public.der -extfile keyid.cnf"
                      " -outform DER -out cert.der");
        const std::string keyId = openssl_.must("x509 -inform DER -in cert.der -noout -ext subjectKeyIdentifier");
        EXPECT_EQ(record.getObjectId(), OpenSSLTool::hexBytes(keyId.substr(keyId.find('\n') + 1)));
        ids.push_back(ZEPUtility::binaryToHexString(record.getObjectId()).str());
        for (const auto& h : hashes) {
            SCOPED_TRACE(h.digest);
            const std::string verify =
                std::string("dgst -") + h.digest + " -verify public.der -keyform DER -signature ";
            openssl_.must(verify + write("signature", signer(h.maker, privateKey)->signData(data.get())) + " " +
                          dataFile);
            openssl_.must(verify + write("signature", signer(h.maker, privateKey)->signData(ZEPBuffer().get())) +
                          " " + emptyFile);
            const auto multiPart = signer(h.maker, privateKey);
            multiPart->signDataInit();
            for (const char* part : {"signed on", "", " the token"}) multiPart->signDataUpdate(text(part).get());
            openssl_.must(verify + write("signature", multiPart->signDataFinal()) + " " + dataFile);
        }
    }
    // Both objects of each pair.
    const std::string listed = runPkcs11Tool(token_, "--list-objects");
    for (const std::string& id : ids) {
        const std::regex named("label: +" + id + "\n +ID: +" + id + "\n");
        EXPECT_EQ(std::distance(std::sregex_iterator(listed.begin(), listed.end(), named), std::sregex_iterator()), 2)
            << listed;
    }
    const std::string refusal = "EC keys cannot encrypt or decrypt.";
    expectFailure([&] { delete factory_->make_RSAPKCS_EncryptionAlgorithm(privateKey); }, 571004, refusal);
    expectFailure([&] { delete factory_->make_RSAPKCS_DecryptionAlgorithm(privateKey, nullptr); }, 571004, refusal);
    expectFailure([&] { delete factory_->make_SHA256WithRSA_SignatureAlgorithm(privateKey); }, 571004,
                  "EC keys make no RSA signatures.");
}

// Requests of EC keys signed on the token verify with openssl and name
// their scheme, the key's default one when the caller names none; a scheme
// of the other algorithm is refused before the token is asked.
TEST_F(SoftHSMAlgorithms, ECRequestsVerifyWithOpenSSLAndNameTheirScheme) {
    using Scheme = ZEPKRYSignatureScheme;
    const struct {
        const ZEPECCurve& curve;
        std::optional<Scheme> scheme;
        const char* named;
    } rows[] = {{ZEPECCurve::P256, std::nullopt, "ecdsa-with-SHA256"},
                {ZEPECCurve::P256, Scheme::SHA512_WITH_ECDSA, "ecdsa-with-SHA512"},
                {ZEPECCurve::P384, Scheme::SHA384_WITH_ECDSA, "ecdsa-with-SHA384"},
                {ZEPECCurve::P521, Scheme::SHA512_WITH_ECDSA, "ecdsa-with-SHA512"},
                {ZEPECCurve::P521, Scheme::SHA256_WITH_ECDSA, "ecdsa-with-SHA256"}};
    asn_x500name subject;
    ASSERT_EQ(ASN_OK, subject.from_string("CN=ec"));
    const auto request = [&](const ZEPKRYKeyPair& pair) {
        return ZEPKeyCertReqItem(pair.getPublicKey(), pair.getPrivateKey(), ZEPASNUtility::getDEREncoding(subject),
                                 text("ec"));
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.named);
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_EC_PublicKeyGenAlgorithm(row.curve));
        ZEPKeyCertReqItem item = request(generator->generateKeyPair());
        CertificationRequest out;
        if (row.scheme)
            item.getSignedCertificationRequest(out, *factory_, *row.scheme);
        else
            item.getSignedCertificationRequest(out, *factory_);
        openssl_.writeFile("request.der", item.getSignedRequestDER());
        EXPECT_EQ("Certificate request self-signature verify OK\n",
                  openssl_.run("req -inform DER -in request.der -verify -noout 2>&1"));
        EXPECT_NE(openssl_.must("req -inform DER -in request.der -noout -text")
                      .find(std::string("Signature Algorithm: ") + row.named + "\n"),
                  std::string::npos);
    }

    std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> ecGenerator(factory_->make_EC_PublicKeyGenAlgorithm(ZEPECCurve::P256));
    const struct {
        ZEPKRYKeyPair pair;
        Scheme scheme;
        const char* refusal;
    } mismatches[] = {{ecGenerator->generateKeyPair(), Scheme::SHA256_WITH_RSA,
                       "the request's private key makes no SHA-256 with RSA signature"},
                      {generate(), Scheme::SHA256_WITH_ECDSA,
                       "the request's private key makes no SHA-256 with ECDSA signature"}};
    for (const auto& mismatch : mismatches) {
        ZEPKeyCertReqItem item = request(mismatch.pair);
        CertificationRequest out;
        try {
            item.getSignedCertificationRequest(out, *factory_, mismatch.scheme);
            ADD_FAILURE() << "signed with " << mismatch.scheme.getName();
        } catch (const ZEPException& refusal) {
            EXPECT_EQ(571004, refusal.getCode());
            EXPECT_EQ(mismatch.refusal, refusal.getMessage().str());
        }
        EXPECT_TRUE(item.getSignedRequestDER().empty());
    }
}

// Searches on the shared session wait for a signature to end: the token
// allows no search while a signing operation is active on the session.
TEST_F(SoftHSMAlgorithms, SignaturesAndSearchesOnCopiesOfOneSlotManagerDoNotCollide) {
    const ZEPKRYKey privateKey = generate().getPrivateKey();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            SlotManager copy(*slot_);
            std::unique_ptr<ZEPKRYAlgorithmFactory> factory(copy.getZEPKRYAlgorithmFactory());
            std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(privateKey));
            for (int i = 0; i < 400; ++i) {
                try {
                    if (t % 2 == 0) {
                        signer->signData(text("data").get());
                    } else {
                        std::vector<CK_OBJECT_HANDLE> handles;
                        SlotManagerUtility::findAllItems(copy, CKO_PUBLIC_KEY, handles, MATCH_ALL, ZEPBuffer());
                    }
                } catch (const ZEPException&) {
                    ++failures;
                }
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}

}  // namespace
