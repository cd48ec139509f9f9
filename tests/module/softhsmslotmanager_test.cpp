// The slot manager against a fresh SoftHSM2 token.
#include "slotmanager.h"
#include "softhsmtest.h"

namespace {

class SoftHSMSlotManager : public SoftHSMTest {
protected:
    std::unique_ptr<ZEPSlotManager> slotManager(CK_SLOT_ID slot) {
        return std::unique_ptr<ZEPSlotManager>(manager_->getSlotManager(slot, 1));
    }
};

TEST_F(SoftHSMSlotManager, LogsInAndChangesThePin) {
    auto slot = slotManager(tokenSlot());
    EXPECT_TRUE(slot->isLoginRequired());
    EXPECT_EQ(slot->getLabel().str(), token_.label() + std::string(32 - token_.label().size(), ' '));
    slot->login(pin(token_.userPin()));
    EXPECT_FALSE(slot->isLoginRequired());
    EXPECT_TRUE(static_cast<SlotManager&>(*slot).isOpenedForWriting());
    slot->setPassword(pin(token_.userPin()), pin("13572468"));
    slot->logout();
    EXPECT_TRUE(slot->isLoginRequired());
    EXPECT_THROW(slot->login(pin(token_.userPin())), ZEPPKCS11Exception);
    slot->login(pin("13572468"));
    EXPECT_FALSE(slot->isLoginRequired());
}

TEST_F(SoftHSMSlotManager, ReinitialisesTheTokenAndItsUserPin) {
    CK_SLOT_ID id = tokenSlot();
    {
        auto slot = slotManager(id);
        slot->initToken(pin(token_.soPin()), "reborn");
        EXPECT_EQ(slot->getLabel().str().substr(0, 7), "reborn ");
        slot->initPassword(pin(token_.soPin()), pin("99887766"));
        EXPECT_EQ(static_cast<SlotManager&>(*slot).getSessionHandle(), 0u);
    }
    auto slot = slotManager(id);
    slot->login(pin("99887766"));
    EXPECT_FALSE(slot->isLoginRequired());
}

}  // namespace
