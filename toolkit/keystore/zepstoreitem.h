// Base of the items a key database holds: what every item has is its
// label. Labels are bytes, kept exactly as given (plain text or the DER of
// a string, as the database stores them).
#ifndef MERVIL_ZEPSTOREITEM_H
#define MERVIL_ZEPSTOREITEM_H

#include "zepbuffer.h"

class ZEPStoreItem {
public:
    virtual ~ZEPStoreItem();

    const ZEPBuffer& getLabel() const { return label_; }

protected:
    explicit ZEPStoreItem(const ZEPBuffer& label);
    ZEPStoreItem(const ZEPStoreItem&) = default;
    ZEPStoreItem& operator=(const ZEPStoreItem&) = default;

private:
    ZEPBuffer label_;
};

#endif
