// The token-backed algorithms on SoftHSM2: signatures verify with openssl,
// whether the token signs with a combined mechanism or the module wraps the
// digest in a DigestInfo, and signatures and searches on a shared session do
// not collide. (keydb's crypto tests cover encryption, generated pairs and
// requests on SoftHSM2.)
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
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
    ZEPKRYKeyPair generate() {
        std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_RSA_PublicKeyGenAlgorithm(1024));
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

    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(bool md5, const ZEPKRYKey& key) {
        return std::unique_ptr<ZEPKRYSignatureAlgorithm>(md5 ? factory_->make_MD5WithRSA_SignatureAlgorithm(key)
                                                             : factory_->make_SHA1WithRSA_SignatureAlgorithm(key));
    }

    ZEPBuffer sign(bool md5, const ZEPKRYKey& key, const ZEPBuffer& data) { return signer(md5, key)->signData(data.get()); }

    SoftHSMToken token_;
    OpenSSLTool openssl_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory_;
    std::string id_;
};

// Signatures of empty data, and of data given in parts (an empty one among
// them), verify as well.
TEST_F(SoftHSMAlgorithms, SignaturesVerifyWithOpenSSLAndComeOutTheSameThroughTheDigestInfo) {
    const ZEPKRYKey privateKey = generate().getPrivateKey();
    const std::string publicKey = readPublicKey();
    const ZEPBuffer data = text("signed on the token");
    const std::string dataFile = write("data", data), emptyFile = write("empty", ZEPBuffer());
    ZEPBuffer signatures[2];
    for (bool md5 : {false, true}) {
        signatures[md5] = sign(md5, privateKey, data);
        const std::string verify = std::string("dgst ") + (md5 ? "-md5" : "-sha1") + " -verify " + publicKey +
                                   " -keyform DER -signature ";
        openssl_.must(verify + write("signature", signatures[md5]) + " " + dataFile);
        openssl_.must(verify + write("signature", sign(md5, privateKey, ZEPBuffer())) + " " + emptyFile);
        const auto inParts = signer(md5, privateKey);
        inParts->signDataInit();
        for (const char* part : {"signed on", "", " the token"}) inParts->signDataUpdate(text(part).get());
        EXPECT_EQ(inParts->signDataFinal(), signatures[md5]);
    }

    // The same token offering only CKM_RSA_PKCS: the DigestInfo way.
    token_.restrictMechanisms("CKM_RSA_PKCS,CKM_RSA_PKCS_KEY_PAIR_GEN");
    factory_.reset();
    connect();
    const MechanismInfoList mechanisms(*slot_);
    ASSERT_FALSE(mechanisms.contains(CKM_SHA1_RSA_PKCS) || mechanisms.contains(CKM_MD5_RSA_PKCS));
    for (bool md5 : {false, true}) EXPECT_EQ(sign(md5, privateKey, data), signatures[md5]) << (md5 ? "MD5" : "SHA-1");
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
