#include "keystore/zepkeyitem.h"

ZEPKeyItem::ZEPKeyItem(const ZEPKRYKey& key, const ZEPBuffer& label) : ZEPStoreItem(label), key_(key) {}
