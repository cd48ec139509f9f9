#include "keystore/zepkeyitemcontainer.h"

template class ZEPItemContainer<ZEPKeyItem>;
