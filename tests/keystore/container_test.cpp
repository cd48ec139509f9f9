// Item containers: first in, first out; items taken out belong to the
// caller, items left in are deleted only by an owning container.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "keystore/zepcertitemcontainer.h"
#include "keystore/zepkeycertitemcontainer.h"
#include "keystore/zepkeycertreqitemcontainer.h"
#include "keystore/zepkeyitemcontainer.h"

namespace {

ZEPBuffer label(int number) {
    std::string text = "item " + std::to_string(number);
    return ZEPBuffer(text.size(), text.data());
}

ZEPKRYKey rsaKey() { return ZEPKRYKey(ZEPKRYKey::TYPE_PUBLIC, ZEPKRYKey::ALGORITHM_RSA); }

template <typename Container>
struct Kind;
template <>
struct Kind<ZEPKeyItemContainer> {
    static ZEPKeyItem* make(int number) { return new ZEPKeyItem(rsaKey(), label(number)); }
};
template <>
struct Kind<ZEPCertItemContainer> {
    static ZEPCertItem* make(int number) { return new ZEPCertItem(ZEPBuffer(), label(number)); }
};
template <>
struct Kind<ZEPKeyCertItemContainer> {
    static ZEPKeyCertItem* make(int number) {
        return new ZEPKeyCertItem(ZEPKeyItem(rsaKey(), ZEPBuffer()), ZEPCertItem(ZEPBuffer(), label(number)));
    }
};
template <>
struct Kind<ZEPKeyCertReqItemContainer> {
    static ZEPKeyCertReqItem* make(int number) {
        return new ZEPKeyCertReqItem(rsaKey(), rsaKey(), ZEPBuffer(), label(number));
    }
};

template <typename Container>
class ItemContainer : public ::testing::Test {};

using Containers =
    ::testing::Types<ZEPKeyItemContainer, ZEPCertItemContainer, ZEPKeyCertItemContainer, ZEPKeyCertReqItemContainer>;
TYPED_TEST_SUITE(ItemContainer, Containers);

// Leaves items inside for the owning container to delete (AddressSanitizer
// reports them if it does not).
TYPED_TEST(ItemContainer, HandsOutInOrderThenNull) {
    TypeParam container(TypeParam::OWN_ITEMS);
    EXPECT_EQ(nullptr, container.pop_front());
    for (int number = 1; number <= 3; ++number) container.push_back(Kind<TypeParam>::make(number));
    container.push_back(nullptr);
    EXPECT_EQ(3u, container.size());
    for (int number = 1; number <= 2; ++number) {
        std::unique_ptr<ZEPStoreItem> item(container.pop_front());
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(label(number), item->getLabel());
    }
    EXPECT_EQ(1u, container.size());
    container.push_back(Kind<TypeParam>::make(4));
    EXPECT_EQ(label(3), std::unique_ptr<ZEPStoreItem>(container.pop_front())->getLabel());
}

// Counts its own destruction.
class CountedKeyItem : public ZEPKeyItem {
public:
    explicit CountedKeyItem(int& destroyed) : ZEPKeyItem(rsaKey(), label(0)), destroyed_(destroyed) {}
    ~CountedKeyItem() override { ++destroyed_; }

private:
    int& destroyed_;
};

TEST(ItemContainerOwnership, OnlyAnOwningContainerDeletesWhatItStillHolds) {
    int destroyed = 0;
    std::unique_ptr<ZEPKeyItem> taken;
    {
        ZEPKeyItemContainer container(ZEPKeyItemContainer::OWN_ITEMS);
        for (int i = 0; i < 3; ++i) container.push_back(new CountedKeyItem(destroyed));
        taken.reset(container.pop_front());
    }
    EXPECT_EQ(2, destroyed);
    taken.reset();
    EXPECT_EQ(3, destroyed);

    CountedKeyItem kept(destroyed);
    {
        ZEPKeyItemContainer container(ZEPKeyItemContainer::OWN_NONE);
        container.push_back(&kept);
    }
    EXPECT_EQ(3, destroyed);
}

}  // namespace
