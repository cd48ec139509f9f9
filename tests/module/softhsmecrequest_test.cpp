// Requests of EC keys through the key database on a SoftHSM2 token, with
// openssl as the CA: signed with the scheme asked for, listed and found
// once, joined into one pair by the CA's reply or deleted, and never joined
// with a certificate of another key; pkcs11-tool counts what stays.
#include <memory>
#include <optional>
#include <string>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "asn/certificationrequest.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "openssltool.h"
#include "slotmanager.h"
#include "softhsmtest.h"
#include "testtokentest.h"
#include "zeputility.h"

namespace {

class SoftHSMECRequest : public SoftHSMTest {
protected:
    SoftHSMECRequest() {
        slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(tokenSlot(), 1)));
        slot_->login(pin(token_.userPin()));
        factory_.reset(slot_->getZEPKRYAlgorithmFactory());
        openssl_.copySharedKey("rsa2048.pem", "ca.pem");
        openssl_.must("req -new -x509 -key ca.pem -subj /CN=CA -days 2 -out ca.crt");
        name_.set_text("ecreq");
    }

    // The requests, then the pairs, the key database lists, then the number
    // of objects pkcs11-tool lists.
    std::string listed() {
        std::string items;
        std::unique_ptr<ZEPSlotManager::Iterator> requests(slot_->getKeyCertReqIterator());
        while (std::unique_ptr<ZEPKeyCertReqItem> request{slot_->getNextKeyCertReqItem(*requests)}) items += "request ";
        std::unique_ptr<ZEPSlotManager::Iterator> pairs(slot_->getKeyCertIterator());
        while (std::unique_ptr<ZEPKeyCertItem> pair{slot_->getNextKeyCertItem(*pairs)}) items += "pair ";
        const std::string objects = runPkcs11Tool(token_, "--list-objects");
        std::size_t count = 0;
        for (std::size_t at = objects.find("Object;"); at != std::string::npos; at = objects.find("Object;", at + 1))
            ++count;
        return items + std::to_string(count);
    }

    // A certificate labelled "ecreq", signed by openssl's CA (`key` empty)
    // for the request in request.der, or self-signed by openssl's `key`.
    ZEPCertItem certificate(const std::string& key = "") {
        if (key.empty()) {
            openssl_.must("x509 -req -inform DER -in request.der -CA ca.crt -CAkey ca.pem -days 2 -outform DER"
                          " -out cert.der");
        } else {
            openssl_.copySharedKey(key + ".pem", "other.pem");
            openssl_.must("req -new -x509 -key other.pem -subj /CN=ecreq -days 2 -outform DER -out cert.der");
        }
        return ZEPCertItem(openssl_.readFile("cert.der"), ZEPASNUtility::getDEREncoding(name_));
    }

    OpenSSLTool openssl_;
    asn_UTF8String name_;
    std::unique_ptr<SlotManager> slot_;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory_;
};

// Each curve with a scheme (none: the key's default), answered by the CA or
// deleted unanswered. On P-256 a scheme for RSA keys is refused, and so is
// a certificate of another key (of P-256, P-384 or RSA) as the CA's reply,
// as the certificate of a pair with the request's key and as the pair's
// new certificate, also when the key has lost its public key object:
// nothing is written then.
TEST_F(SoftHSMECRequest, RequestIsSignedFoundAndJoinedByItsOwnCertificateOnly) {
    using Scheme = ZEPKRYSignatureScheme;
    const struct {
        const ZEPECCurve& curve;
        std::optional<Scheme> scheme;
        const char* named;
        bool answered;
    } rows[] = {{ZEPECCurve::P256, std::nullopt, "ecdsa-with-SHA256", true},
                {ZEPECCurve::P384, Scheme::SHA384_WITH_ECDSA, "ecdsa-with-SHA384", false},
                {ZEPECCurve::P521, Scheme::SHA512_WITH_ECDSA, "ecdsa-with-SHA512", true}};
    const struct {
        const char* key;
        const char* refusal;
    } others[] = {{"ec", "The key is not its certificate's key."},
                  {"ec384", "The key is not on its certificate's curve."},
                  {"rsa1024", "The key is not on its certificate's curve."}};
    asn_x500name subject;
    ASSERT_EQ(ASN_OK, subject.from_string("CN=ecreq"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.named);
        const bool refusals = &row == &rows[0];
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_EC_PublicKeyGenAlgorithm(row.curve));
        const ZEPKRYKeyPair keys = generator->generateKeyPair();
        ASSERT_TRUE(slot_->insertItem(ZEPKeyCertReqItem(keys.getPublicKey(), keys.getPrivateKey(),
                                                        ZEPASNUtility::getDEREncoding(subject),
                                                        ZEPASNUtility::getDEREncoding(name_))));
        EXPECT_EQ(listed(), "request 2");
        std::unique_ptr<ZEPKeyCertReqItem> request(
            slot_->getItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, name_));
        ASSERT_TRUE(request);
        CertificationRequest out;
        if (row.scheme) request->getSignedCertificationRequest(out, *factory_, *row.scheme);
        openssl_.writeFile("request.der", request->getSignedRequestDER());
        EXPECT_EQ("Certificate request self-signature verify OK\n",
                  openssl_.run("req -inform DER -in request.der -verify -noout 2>&1"));
        EXPECT_NE(openssl_.must("req -inform DER -in request.der -noout -text")
                      .find(std::string("Signature Algorithm: ") + row.named + "\n"),
                  std::string::npos);
        if (refusals) {
            for (const auto& other : others) {
                expectFailure([&] { slot_->updateItem(*request, certificate(other.key)); }, 571002, other.refusal);
                const ZEPKeyItem& key = request->getPrivateKeyItem();
                expectFailure([&] { slot_->insertItem(ZEPKeyCertItem(key, certificate(other.key))); }, 571002,
                              other.refusal);
                EXPECT_EQ(listed(), "request 2") << other.key;
            }
            try {
                request->getSignedCertificationRequest(out, *factory_, Scheme::SHA256_WITH_RSA);
                ADD_FAILURE() << "an EC key signed a request with RSA";
            } catch (const ZEPException& refusal) {
                EXPECT_EQ(571004, refusal.getCode());
                EXPECT_EQ("the request's private key makes no SHA-256 with RSA signature", refusal.getMessage().str());
            }
        }
        if (!row.answered) {
            EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, name_));
            EXPECT_EQ(listed(), "0");
            continue;
        }
        EXPECT_TRUE(slot_->updateItem(*request, certificate()));
        EXPECT_EQ(listed(), "pair 3");
        std::unique_ptr<ZEPKeyCertItem> pair(slot_->getItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name_));
        ASSERT_TRUE(pair);
        for (const auto& other : others) {
            if (!refusals) break;
            const ZEPKeyItem& key = pair->getKeyItem();
            expectFailure([&] { slot_->updateItem(*pair, ZEPKeyCertItem(key, certificate(other.key))); }, 571002,
                          other.refusal);
            EXPECT_EQ(listed(), "pair 3") << other.key;
        }
        if (refusals) {
            // Without its public key object the key tells its curve only.
            runPkcs11Tool(token_, "--delete-object --type pubkey --id " +
                                      ZEPUtility::binaryToHexString(
                                          ZEPPKCS11ASNKeyRecord(pair->getKey().getKeyBlob()).getObjectId())
                                          .str());
            const ZEPKeyItem& key = pair->getKeyItem();
            expectFailure([&] { slot_->updateItem(*pair, ZEPKeyCertItem(key, certificate("rsa1024"))); }, 571002,
                          "The key is not on its certificate's curve.");
            EXPECT_EQ(listed(), "pair 2");
        }
        EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name_));
        EXPECT_EQ(listed(), "0");
    }
}

}  // namespace
