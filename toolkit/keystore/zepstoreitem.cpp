#include "keystore/zepstoreitem.h"

ZEPStoreItem::ZEPStoreItem(const ZEPBuffer& label) : label_(label) {}

ZEPStoreItem::~ZEPStoreItem() = default;
