#include "keystore/zepkeycertitemcontainer.h"

template class ZEPItemContainer<ZEPKeyCertItem>;
