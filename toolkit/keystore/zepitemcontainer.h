// A first-in, first-out list of items that a key database hands out. With
// ownership OWN_ITEMS the container deletes the items it still holds when
// it is destroyed; an item taken out with pop_front belongs to the caller.
#ifndef MERVIL_ZEPITEMCONTAINER_H
#define MERVIL_ZEPITEMCONTAINER_H

#include <cstddef>
#include <deque>

template <typename Item>
class ZEPItemContainer {
public:
    static constexpr int OWN_NONE = 0;
    static constexpr int OWN_ITEMS = 1;

    explicit ZEPItemContainer(int ownership) : ownership_(ownership) {}
    virtual ~ZEPItemContainer() {
        if (ownership_ == OWN_ITEMS)
            for (Item* item : items_) delete item;
    }
    ZEPItemContainer(const ZEPItemContainer&) = delete;
    ZEPItemContainer& operator=(const ZEPItemContainer&) = delete;

    // Appends `item`; a null item is not stored. When this throws, the
    // caller still owns the item.
    void push_back(Item* item) {
        if (item) items_.push_back(item);
    }
    // The first item, now owned by the caller; null when the container is
    // empty.
    Item* pop_front() {
        if (items_.empty()) return nullptr;
        Item* item = items_.front();
        items_.pop_front();
        return item;
    }
    size_t size() const { return items_.size(); }

private:
    int ownership_;
    std::deque<Item*> items_;
};

#endif
