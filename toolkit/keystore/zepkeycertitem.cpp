#include "keystore/zepkeycertitem.h"

ZEPKeyCertItem::ZEPKeyCertItem(const ZEPKeyItem& keyItem, const ZEPCertItem& certItem)
    : ZEPStoreItem(certItem.getLabel()), keyItem_(keyItem), certItem_(certItem) {}
