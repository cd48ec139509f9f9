// The items of a certificate lookup, as ZEPItemContainer describes.
#ifndef MERVIL_ZEPCERTITEMCONTAINER_H
#define MERVIL_ZEPCERTITEMCONTAINER_H

#include "keystore/zepcertitem.h"
#include "keystore/zepitemcontainer.h"

extern template class ZEPItemContainer<ZEPCertItem>;

class ZEPCertItemContainer : public ZEPItemContainer<ZEPCertItem> {
public:
    using ZEPItemContainer::ZEPItemContainer;
};

#endif
