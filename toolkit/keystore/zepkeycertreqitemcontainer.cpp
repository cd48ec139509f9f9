#include "keystore/zepkeycertreqitemcontainer.h"

template class ZEPItemContainer<ZEPKeyCertReqItem>;
