// Threads under load: each runs a mix of lookups, counts, signatures,
// encryptions, inserts and deletes (of keys under labels of its own), over
// copies of one slot manager or over slot managers of their own from one
// library, on the test token and on SoftHSM2. Every result must be right and
// at the end every key a thread inserted and did not delete must be on the
// token, and nothing else of theirs.
#include <cstdlib>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "asn/asn_string.h"
#include "asn/asn_x500name.h"
#include "keydatabasetest.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "softhsmtoken.h"

namespace {

using Index = ZEPSlotManager;

unsigned fromEnvironment(const char* name, unsigned fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

asn_UTF8String labelValue(const std::string& text) {
    asn_UTF8String label;
    label.set_text(text);
    return label;
}

// What every thread must see on the token.
struct Expected {
    ZEPBuffer certificate;
    ZEPKRYKey privateKey, publicKey;
    ZEPBuffer signature;
    unsigned keys = 0;  // key objects besides the threads' own
};

class Stress : public KeyDatabaseTest {
protected:
    static constexpr const char* kData = "the data signed by every thread";

    static unsigned threads() { return fromEnvironment("MERVIL_STRESS_THREADS", 8); }
    static unsigned operations() { return fromEnvironment("MERVIL_STRESS_OPERATIONS", MERVIL_STRESS_OPERATIONS); }

    static ZEPKRYKey fileKey(int type, const char* file, int format) {
        return ZEPKRYKey(type, ZEPKRYKey::ALGORITHM_RSA, format, OpenSSLTool::sharedKey(file));
    }
    static ZEPKRYKey publicFileKey() {
        return fileKey(ZEPKRYKey::TYPE_PUBLIC, "rsa1024.spki", ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO);
    }

    // Puts a certificate and its key pair, labelled "shared", on the token.
    static Expected populate(SlotManager& slot) {
        Expected expected;
        expected.certificate = certificates_->first;
        EXPECT_TRUE(slot.insertItem(ZEPCertItem(expected.certificate, ZEPBuffer(6, "shared"))));
        EXPECT_TRUE(slot.insertItem(ZEPKeyItem(
            fileKey(ZEPKRYKey::TYPE_PRIVATE, "rsa1024.p8", ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO), ZEPBuffer(6, "shared"))));
        EXPECT_TRUE(slot.insertItem(ZEPKeyItem(publicFileKey(), ZEPBuffer(6, "shared"))));
        std::unique_ptr<ZEPKeyItem> item(slot.getItem(Index::KeyUniqueIndex::LABEL, labelValue("shared")));
        expected.privateKey = item->getKey();
        expected.publicKey = expected.privateKey;
        expected.publicKey.setType(ZEPKRYKey::TYPE_PUBLIC);
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(
            factory->make_SHA1WithRSA_SignatureAlgorithm(expected.privateKey));
        expected.signature = signer->signData(bufferOf(kData).get());
        asn_x500name anyValue;
        expected.keys = slot.getItemCount(Index::KeyMultiIndex::ALL, anyValue);
        return expected;
    }

    // The failures of all threads, the first few with their messages.
    class Failures {
    public:
        void add(const std::string& what) {
            std::lock_guard lock(mutex_);
            if (messages_.size() < 10) messages_.push_back(what);
            ++count_;
        }
        unsigned count() const { return count_; }
        std::string first() const {
            std::string all;
            for (const std::string& message : messages_) all += message + "\n";
            return all;
        }

    private:
        std::mutex mutex_;
        std::vector<std::string> messages_;
        unsigned count_ = 0;
    };

    // One thread's mix; returns the labels of its keys still on the token.
    // Inserts and deletes hold `writes` alone, the other operations shared,
    // when it is given.
    static std::deque<std::string> work(ZEPSlotManager& slot, unsigned thread, const Expected& expected,
                                        Failures& failures, std::shared_mutex* writes) {
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
        std::deque<std::string> keys;
        const ZEPBuffer data = bufferOf(kData);
        asn_x500name anyValue;
        for (unsigned n = 0; n < operations(); ++n) {
            const std::string where = "thread " + std::to_string(thread) + " operation " + std::to_string(n) + ": ";
            try {
                std::unique_lock<std::shared_mutex> writing;
                std::shared_lock<std::shared_mutex> reading;
                if (writes && (n % 6 == 0 || n % 6 == 5))
                    writing = std::unique_lock(*writes);
                else if (writes)
                    reading = std::shared_lock(*writes);
                switch (n % 6) {
                case 0: {
                    const std::string label = "t" + std::to_string(thread) + "-" + std::to_string(n);
                    if (!slot.insertItem(ZEPKeyItem(publicFileKey(), bufferOf(label))))
                        failures.add(where + "insert");
                    keys.push_back(label);
                    break;
                }
                case 1: {
                    std::unique_ptr<ZEPCertItem> item(slot.getItem(Index::CertUniqueIndex::LABEL, labelValue("shared")));
                    if (!item || item->getCertificateDER() != expected.certificate) failures.add(where + "lookup");
                    if (!keys.empty() &&
                        !std::unique_ptr<ZEPKeyItem>(slot.getItem(Index::KeyUniqueIndex::LABEL, labelValue(keys.back()))))
                        failures.add(where + "own key");
                    break;
                }
                case 2:
                    if (slot.getItemCount(Index::CertMultiIndex::ALL, anyValue) != 1) failures.add(where + "count");
                    break;
                case 3: {
                    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(
                        factory->make_SHA1WithRSA_SignatureAlgorithm(expected.privateKey));
                    if (signer->signData(data.get()) != expected.signature) failures.add(where + "signature");
                    break;
                }
                case 4: {
                    std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
                        factory->make_RSAPKCS_EncryptionAlgorithm(expected.publicKey));
                    std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
                        factory->make_RSAPKCS_DecryptionAlgorithm(expected.privateKey, nullptr));
                    const ZEPBuffer secret = bufferOf(where);
                    if (decryption->decryptData(encryption->encryptData(secret.get()).get()) != secret)
                        failures.add(where + "decryption");
                    break;
                }
                case 5:
                    if (!keys.empty() && !slot.deleteItem(Index::KeyUniqueIndex::LABEL, labelValue(keys.front())))
                        failures.add(where + "delete");
                    if (!keys.empty()) keys.pop_front();
                    break;
                }
            } catch (const std::exception& e) {
                failures.add(where + e.what());
            }
        }
        return keys;
    }

    // Runs the threads, each on a copy of `slot` or on a slot manager of its
    // own from `manager`, then checks that every key is accounted for.
    static void run(PKCS11Manager& manager, SlotManager& slot, bool copies, const ZEPBuffer& userPin,
                    std::shared_mutex* writes = nullptr) {
        const Expected expected = populate(slot);
        Failures failures;
        std::vector<std::deque<std::string>> kept(threads());
        {
            std::vector<std::jthread> workers;
            for (unsigned t = 0; t < threads(); ++t)
                workers.emplace_back([&, t] {
                    try {
                        std::unique_ptr<ZEPSlotManager> own(copies ? slot.duplicate()
                                                                   : manager.getSlotManager(slot.getSlotId(), 1));
                        own->login(userPin);
                        kept[t] = work(*own, t, expected, failures, writes);
                    } catch (const std::exception& e) {
                        failures.add(std::string("thread setup: ") + e.what());
                    }
                });
        }
        EXPECT_EQ(failures.count(), 0u) << failures.first();
        asn_x500name anyValue;
        size_t left = 0;
        for (const std::deque<std::string>& keys : kept) {
            left += keys.size();
            for (const std::string& label : keys)
                EXPECT_NE(std::unique_ptr<ZEPKeyItem>(slot.getItem(Index::KeyUniqueIndex::LABEL, labelValue(label))),
                          nullptr)
                    << label;
        }
        EXPECT_EQ(slot.getItemCount(Index::KeyMultiIndex::ALL, anyValue), expected.keys + left);
        EXPECT_EQ(slot.getItemCount(Index::CertMultiIndex::ALL, anyValue), 1u);
        std::cout << threads() << " threads x " << operations() << " operations, " << left << " keys left, "
                  << failures.count() << " failures" << std::endl;
    }
};

class StressTestToken : public Stress {};

TEST_F(StressTestToken, CopiesOfOneSlotManager) {
    Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
    run(*manager_, slot(), true, pin("1234"));
}

TEST_F(StressTestToken, SlotManagersOfOneLibrary) {
    Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
    run(*manager_, slot(), false, pin("1234"));
}

class StressSoftHSM : public Stress {
protected:
    StressSoftHSM() : softhsm_(std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()))) {
        std::vector<CK_SLOT_ID> slots;
        softhsm_->getSlotIds(slots);
        for (CK_SLOT_ID id : slots) {
            slot_.reset(static_cast<SlotManager*>(softhsm_->getSlotManager(id, 1)));
            if (slot_->isTokenPresent() && slot_->getLabel().str().rfind(token_.label() + " ", 0) == 0) break;
        }
        slot_->login(pin(token_.userPin()));
    }
    ~StressSoftHSM() override { slot_.reset(); }

    SoftHSMToken token_;
    std::unique_ptr<PKCS11Manager> softhsm_;
    // SoftHSM2's file store now and then fails token objects created,
    // destroyed or read at the same time by several threads
    // (CKR_GENERAL_ERROR and the like): a thread writes alone, the others
    // read together.
    std::shared_mutex writes_;
};

TEST_F(StressSoftHSM, CopiesOfOneSlotManager) { run(*softhsm_, slot(), true, pin(token_.userPin()), &writes_); }

TEST_F(StressSoftHSM, SlotManagersOfOneLibrary) { run(*softhsm_, slot(), false, pin(token_.userPin()), &writes_); }

}  // namespace
