// The items of a key lookup, as ZEPItemContainer describes.
#ifndef MERVIL_ZEPKEYITEMCONTAINER_H
#define MERVIL_ZEPKEYITEMCONTAINER_H

#include "keystore/zepitemcontainer.h"
#include "keystore/zepkeyitem.h"

extern template class ZEPItemContainer<ZEPKeyItem>;

class ZEPKeyItemContainer : public ZEPItemContainer<ZEPKeyItem> {
public:
    using ZEPItemContainer::ZEPItemContainer;
};

#endif
