// The items of a certificate request lookup, as ZEPItemContainer describes.
#ifndef MERVIL_ZEPKEYCERTREQITEMCONTAINER_H
#define MERVIL_ZEPKEYCERTREQITEMCONTAINER_H

#include "keystore/zepitemcontainer.h"
#include "keystore/zepkeycertreqitem.h"

extern template class ZEPItemContainer<ZEPKeyCertReqItem>;

class ZEPKeyCertReqItemContainer : public ZEPItemContainer<ZEPKeyCertReqItem> {
public:
    using ZEPItemContainer::ZEPItemContainer;
};

#endif
