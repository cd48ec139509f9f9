// An X.509 certificate, held as its DER, with its label.
#ifndef MERVIL_ZEPCERTITEM_H
#define MERVIL_ZEPCERTITEM_H

#include "keystore/zepstoreitem.h"

class x509_certificate;

class ZEPCertItem : public ZEPStoreItem {
public:
    ZEPCertItem(const ZEPBuffer& certificateDER, const ZEPBuffer& label);

    const ZEPBuffer& getCertificateDER() const { return certificateDER_; }
    // Decodes the certificate into `out` and returns it; throws
    // ZEPASNException when the DER is not a certificate.
    x509_certificate& getCertificate(x509_certificate& out) const;

private:
    ZEPBuffer certificateDER_;
};

#endif
