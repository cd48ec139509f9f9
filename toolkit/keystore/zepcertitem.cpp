#include "keystore/zepcertitem.h"

#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"

ZEPCertItem::ZEPCertItem(const ZEPBuffer& certificateDER, const ZEPBuffer& label)
    : ZEPStoreItem(label), certificateDER_(certificateDER) {}

x509_certificate& ZEPCertItem::getCertificate(x509_certificate& out) const {
    ZEPASNUtility::setDEREncoding(certificateDER_, out);
    return out;
}
