// Requests of EC keys through the key database on a SoftHSM2 token, with
// openssl as the CA: made, listed and found once, joined into a pair by the
// CA's reply or deleted, as pkcs11-tool sees the token.
#include <iterator>
#include <memory>
#include <regex>
#include <string>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeycertreqitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "openssltool.h"
#include "slotmanager.h"
#include "softhsmtest.h"
#include "testtokentest.h"

namespace {

class SoftHSMECRequest : public SoftHSMTest {
protected:
    SoftHSMECRequest() {
        slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(tokenSlot(), 1)));
        slot_->login(pin(token_.userPin()));
        openssl_.copySharedKey("rsa2048.pem", "ca.pem");
        openssl_.must("req -new -x509 -key ca.pem -subj /CN=CA -days 2 -out ca.crt");
        name_.set_text("ecreq");
    }

    // The request for a key pair generated on the token, labelled "ecreq".
    ZEPKeyCertReqItem generateRequest(const ZEPECCurve& curve) {
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot_->getZEPKRYAlgorithmFactory());
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory->make_EC_PublicKeyGenAlgorithm(curve));
        const ZEPKRYKeyPair pair = generator->generateKeyPair();
        asn_x500name subject;
        EXPECT_EQ(ASN_OK, subject.from_string("CN=ecreq"));
        return ZEPKeyCertReqItem(pair.getPublicKey(), pair.getPrivateKey(), ZEPASNUtility::getDEREncoding(subject),
                                 ZEPASNUtility::getDEREncoding(name_));
    }

    // The labels of the requests, then of the pairs, the key database lists.
    std::string listed() {
        std::string labels;
        std::unique_ptr<ZEPSlotManager::Iterator> requests(slot_->getKeyCertReqIterator());
        while (std::unique_ptr<ZEPKeyCertReqItem> request{slot_->getNextKeyCertReqItem(*requests)})
            labels += "request " + text(request->getLabel()) + ";";
        std::unique_ptr<ZEPSlotManager::Iterator> pairs(slot_->getKeyCertIterator());
        while (std::unique_ptr<ZEPKeyCertItem> pair{slot_->getNextKeyCertItem(*pairs)})
            labels += "pair " + text(pair->getLabel()) + ";";
        return labels;
    }

    // The text of a label: the DER of a short UTF8String.
    static std::string text(const ZEPBuffer& label) {
        return std::string(reinterpret_cast<const char*>(label.getValue()) + 2, label.getLength() - 2);
    }

    size_t tokenObjects() {
        const std::string objects = runPkcs11Tool(token_, "--list-objects");
        const std::regex object("Object;");
        return std::distance(std::sregex_iterator(objects.begin(), objects.end(), object), std::sregex_iterator());
    }

    OpenSSLTool openssl_;
    asn_UTF8String name_;
    std::unique_ptr<SlotManager> slot_;
};

// Each request is found by its label and verifies with openssl; the CA's
// reply makes its key a pair, or the request is deleted unanswered. Either
// way deletion leaves nothing on the token.
TEST_F(SoftHSMECRequest, RequestIsFoundOnceJoinedByItsCertificateAndDeletedWhole) {
    const struct {
        const ZEPECCurve& curve;
        bool answered;
    } rows[] = {{ZEPECCurve::P256, true}, {ZEPECCurve::P384, false}, {ZEPECCurve::P521, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.curve.getName());
        ASSERT_TRUE(slot_->insertItem(generateRequest(row.curve)));
        EXPECT_EQ(listed(), "request ecreq;");
        EXPECT_EQ(tokenObjects(), 2u);

        std::unique_ptr<ZEPKeyCertReqItem> found(slot_->getItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, name_));
        ASSERT_TRUE(found);
        openssl_.writeFile("request.der", found->getSignedRequestDER());
        EXPECT_EQ("Certificate request self-signature verify OK\n",
                  openssl_.run("req -inform DER -in request.der -verify -noout 2>&1"));
        if (!row.answered) {
            EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, name_));
            EXPECT_EQ(tokenObjects(), 0u);
            continue;
        }
        openssl_.must("x509 -req -inform DER -in request.der -CA ca.crt -CAkey ca.pem -days 2 -outform DER"
                      " -out cert.der");
        EXPECT_TRUE(slot_->updateItem(*found, ZEPCertItem(openssl_.readFile("cert.der"),
                                                          ZEPASNUtility::getDEREncoding(name_))));
        EXPECT_EQ(listed(), "pair ecreq;");
        EXPECT_EQ(tokenObjects(), 3u);
        EXPECT_TRUE(slot_->deleteItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name_));
        EXPECT_EQ(tokenObjects(), 0u);
    }
}

// A certificate of another key, on the request's curve or another or of
// RSA, is refused as the CA's reply, as the certificate of a pair with the
// request's key and as the new certificate of the pair, and writes nothing.
TEST_F(SoftHSMECRequest, CertificateOfAnotherKeyIsRefusedOnUpdates) {
    const struct {
        const char* key;
        const char* refusal;
    } others[] = {{"ec", "The key is not its certificate's key."},
                  {"ec384", "The key is not on its certificate's curve."},
                  {"rsa1024", "The key is not on its certificate's curve."}};
    const ZEPBuffer label = ZEPASNUtility::getDEREncoding(name_);
    const auto certificateOf = [&](const std::string& key) {
        openssl_.copySharedKey(key + ".pem", "other.pem");
        openssl_.must("req -new -x509 -key other.pem -subj /CN=ecreq -days 2 -outform DER -out other.der");
        return ZEPCertItem(openssl_.readFile("other.der"), label);
    };
    ASSERT_TRUE(slot_->insertItem(generateRequest(ZEPECCurve::P256)));
    std::unique_ptr<ZEPKeyCertReqItem> request(slot_->getItem(ZEPSlotManager::KeyCertReqUniqueIndex::LABEL, name_));
    ASSERT_TRUE(request);
    for (const auto& other : others) {
        SCOPED_TRACE(other.key);
        expectFailure([&] { slot_->updateItem(*request, certificateOf(other.key)); }, 571002, other.refusal);
        const ZEPKeyItem& key = request->getPrivateKeyItem();
        expectFailure([&] { slot_->insertItem(ZEPKeyCertItem(key, certificateOf(other.key))); }, 571002,
                      other.refusal);
        EXPECT_EQ(listed(), "request ecreq;");
        EXPECT_EQ(tokenObjects(), 2u);
    }

    openssl_.writeFile("request.der", request->getSignedRequestDER());
    openssl_.must("x509 -req -inform DER -in request.der -CA ca.crt -CAkey ca.pem -days 2 -outform DER -out cert.der");
    ASSERT_TRUE(slot_->updateItem(*request, ZEPCertItem(openssl_.readFile("cert.der"), label)));
    std::unique_ptr<ZEPKeyCertItem> pair(slot_->getItem(ZEPSlotManager::KeyCertUniqueIndex::LABEL, name_));
    ASSERT_TRUE(pair);
    for (const auto& other : others) {
        SCOPED_TRACE(other.key);
        expectFailure([&] { slot_->updateItem(*pair, ZEPKeyCertItem(pair->getKeyItem(), certificateOf(other.key))); },
                      571002, other.refusal);
        EXPECT_EQ(listed(), "pair ecreq;");
        EXPECT_EQ(tokenObjects(), 3u);
    }
}

}  // namespace
