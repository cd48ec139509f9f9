// The mechanism snapshot of a slot: categories, flag tests, print and names.
#include <sstream>

#include "mechanisminfolist.h"
#include "slotmanager.h"
#include "testtokentest.h"

namespace {

class MechanismInfoListTest : public TestTokenTest {
protected:
    std::unique_ptr<MechanismInfoList> listOf(const testtoken::MechanismTable& mechanisms) {
        addTokenSlot(kSlot);
        Control::setMechanisms(kSlot, mechanisms);
        manager_ = connect();
        std::unique_ptr<ZEPSlotManager> slot(manager_->getSlotManager(kSlot, 0));
        return std::make_unique<MechanismInfoList>(static_cast<SlotManager&>(*slot));
    }

    static constexpr CK_SLOT_ID kSlot = 2;
    std::unique_ptr<PKCS11Manager> manager_;
};

TEST_F(MechanismInfoListTest, EmptyTokenGivesAnEmptyList) {
    auto list = listOf({});
    EXPECT_EQ(list->size(), 0u);
    EXPECT_FALSE(list->contains(CKM_RSA_PKCS));
    EXPECT_FALSE(list->supportsSign(CATEGORY_ANY));
    std::ostringstream out;
    list->dump(out);
    EXPECT_EQ(out.str(), "");
    EXPECT_THROW(list->getMechanismType(0), ZEPException);
}

TEST_F(MechanismInfoListTest, CategoriesDecideTheSignTests) {
    auto list = listOf({{CKM_RSA_PKCS, {512, 4096, CKF_ENCRYPT | CKF_DECRYPT}},
                        {CKM_RSA_9796, {512, 4096, CKF_SIGN}},
                        {CKM_SHA1_RSA_PKCS, {512, 4096, CKF_SIGN | CKF_VERIFY}}});
    ASSERT_EQ(list->size(), 3u);
    EXPECT_TRUE(list->contains(CKM_SHA1_RSA_PKCS));
    EXPECT_FALSE(list->contains(CKM_MD5_RSA_PKCS));
    // Only CKM_RSA_9796 signs among the plain RSA mechanisms, and it is no
    // plain RSA mechanism.
    EXPECT_FALSE(list->supportsSign(CATEGORY_RSA));
    EXPECT_TRUE(list->supportsSign(CATEGORY_OTHER));
    EXPECT_TRUE(list->supportsSign(CATEGORY_SHA1_RSA));
    EXPECT_TRUE(list->supportsSign(CATEGORY_ANY));
    EXPECT_TRUE(list->canDecrypt(0, CATEGORY_RSA));
    EXPECT_FALSE(list->canDecrypt(0, CATEGORY_SHA1_RSA));
    EXPECT_TRUE(list->canVerify(2, CATEGORY_ANY));
    EXPECT_EQ(list->getInfoAt(0).ulMaxKeySize, 4096u);
    CK_MECHANISM_INFO info;
    list->getMechanismInfo(2, info);
    EXPECT_EQ(info.flags, CKF_SIGN | CKF_VERIFY);
    try {
        list->getMechanismType(3);
        FAIL() << "index 3 of 3 was accepted";
    } catch (const ZEPPKCS11Exception&) {
        FAIL() << "the index error must not be a PKCS#11 exception";
    } catch (const ZEPException& e) {
        EXPECT_EQ(e.getCode(), 571003);
        EXPECT_EQ(e.getMessage().str(), "");
    }
}

TEST_F(MechanismInfoListTest, RawRsaSigningCounts) {
    auto list = listOf({{CKM_RSA_X_509, {512, 4096, CKF_SIGN}}});
    EXPECT_TRUE(list->supportsSign(CATEGORY_RSA));
}

TEST_F(MechanismInfoListTest, DumpsOneLinePerMechanism) {
    auto list = listOf({{CKM_SHA1_RSA_PKCS, {512, 4096, 0x2800}}, {0x80000001, {0, 0, 0x1}}});
    std::ostringstream out;
    list->dump(out);
    out << 42;
    EXPECT_EQ(out.str(),
              " Mechanism: 0x00000006 flags=0x00002800  CKM_SHA1_RSA_PKCS\n"
              " Mechanism: 0x80000001 flags=0x00000001  Unknown\n42");
}

TEST(MechanismNames, FollowTheStandard) {
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x0).str(), "CKM_RSA_PKCS_KEY_PAIR_GEN");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x220).str(), "CKM_SHA_1");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x3A5).str(), "CKM_PBE_SHA1_CAST5_CBC");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x1070).str(), "CKM_FASTHASH");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x80000000).str(), "CKM_VENDOR_DEFINED");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x80000001).str(), "Unknown");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x361).str(), "Unknown");
    EXPECT_EQ(MechanismInfoList::getMechanismName(0x250).str(), "Unknown");  // a later SHA-256 mechanism
}

}  // namespace
