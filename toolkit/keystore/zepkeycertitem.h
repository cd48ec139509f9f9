// A key together with its certificate. The pair is known by the
// certificate's label, which is the item's label.
#ifndef MERVIL_ZEPKEYCERTITEM_H
#define MERVIL_ZEPKEYCERTITEM_H

#include "keystore/zepcertitem.h"
#include "keystore/zepkeyitem.h"

class ZEPKeyCertItem : public ZEPStoreItem {
public:
    ZEPKeyCertItem(const ZEPKeyItem& keyItem, const ZEPCertItem& certItem);

    const ZEPKeyItem& getKeyItem() const { return keyItem_; }
    const ZEPCertItem& getCertItem() const { return certItem_; }
    const ZEPKRYKey& getKey() const { return keyItem_.getKey(); }
    const ZEPBuffer& getCertificateDER() const { return certItem_.getCertificateDER(); }
    // As ZEPCertItem::getCertificate.
    x509_certificate& getCertificate(x509_certificate& out) const { return certItem_.getCertificate(out); }

private:
    ZEPKeyItem keyItem_;
    ZEPCertItem certItem_;
};

#endif
