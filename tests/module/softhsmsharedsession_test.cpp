// Threads on copies of one slot manager against SoftHSM2: the copies share
// one session, and SoftHSM2 does its own locking, so only the module keeps
// their searches and reads apart.
#include <thread>

#include "asn/asn_string.h"
#include "keystore/zepkeyitem.h"
#include "slotmanager.h"
#include "softhsmtest.h"

namespace {

class SoftHSMSharedSession : public SoftHSMTest {
protected:
    // A token RSA key pair labelled `label`, generated with the client.
    void generateKeyPair(SlotManager& slot, const std::string& label) {
        AttributeTemplate publicKey, privateKey;
        for (AttributeTemplate* key : {&publicKey, &privateKey}) {
            key->setBool(CKA_TOKEN, true);
            key->setText(CKA_LABEL, label.c_str());
        }
        publicKey.setULong(CKA_MODULUS_BITS, 1024);
        publicKey.setAttribute(CKA_PUBLIC_EXPONENT, ZEPBuffer(3, "\x01\x00\x01"));
        privateKey.setBool(CKA_PRIVATE, true);
        privateKey.setBool(CKA_SIGN, true);
        CK_OBJECT_HANDLE publicHandle = 0, privateHandle = 0;
        slot.getClient()->generateKeyPair(slot.getSessionHandle(), CKM_RSA_PKCS_KEY_PAIR_GEN, publicKey, privateKey,
                                          publicHandle, privateHandle);
    }
};

TEST_F(SoftHSMSharedSession, CopiesOfOneSlotManagerLookUpAndCountWithoutFailures) {
    std::unique_ptr<SlotManager> slot(static_cast<SlotManager*>(manager_->getSlotManager(tokenSlot(), 1)));
    slot->login(pin(token_.userPin()));
    ASSERT_FALSE(slot->getClient()->isLockingOn());
    constexpr int kPairs = 4;
    for (int i = 0; i < kPairs; ++i) generateKeyPair(*slot, "key" + std::to_string(i));

    std::vector<std::jthread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, copy = std::unique_ptr<ZEPSlotManager>(slot->duplicate())] {
            asn_UTF8String anyValue;
            for (int i = 0; i < 25; ++i) {
                EXPECT_NO_THROW(EXPECT_EQ(copy->getItemCount(ZEPSlotManager::KeyMultiIndex::ALL, anyValue),
                                          2u * kPairs));
                asn_UTF8String label;
                label.set_text("key" + std::to_string((t + i) % kPairs));
                EXPECT_NO_THROW({
                    std::unique_ptr<ZEPKeyItem> key(copy->getItem(ZEPSlotManager::KeyUniqueIndex::LABEL, label));
                    ASSERT_NE(key, nullptr);
                    EXPECT_EQ(key->getKey().getType(), ZEPKRYKey::TYPE_PRIVATE);
                });
            }
        });
}

}  // namespace
