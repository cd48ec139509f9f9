// The items of a key+certificate lookup, as ZEPItemContainer describes.
#ifndef MERVIL_ZEPKEYCERTITEMCONTAINER_H
#define MERVIL_ZEPKEYCERTITEMCONTAINER_H

#include "keystore/zepitemcontainer.h"
#include "keystore/zepkeycertitem.h"

extern template class ZEPItemContainer<ZEPKeyCertItem>;

class ZEPKeyCertItemContainer : public ZEPItemContainer<ZEPKeyCertItem> {
public:
    using ZEPItemContainer::ZEPItemContainer;
};

#endif
