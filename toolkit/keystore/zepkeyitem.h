// A key with its label.
#ifndef MERVIL_ZEPKEYITEM_H
#define MERVIL_ZEPKEYITEM_H

#include "keystore/zepstoreitem.h"
#include "kry/zepkrykey.h"

class ZEPKeyItem : public ZEPStoreItem {
public:
    ZEPKeyItem(const ZEPKRYKey& key, const ZEPBuffer& label);

    const ZEPKRYKey& getKey() const { return key_; }

private:
    ZEPKRYKey key_;
};

#endif
