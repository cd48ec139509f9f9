// A key pair waiting for its certificate: the public and the private key,
// the subject the certificate is asked for (DER of a Name) and the label.
// Both key items carry the request's label.
#ifndef MERVIL_ZEPKEYCERTREQITEM_H
#define MERVIL_ZEPKEYCERTREQITEM_H

#include "keystore/zepkeyitem.h"
#include "kry/zepkrysignaturescheme.h"

class CertificationRequest;
class ZEPKRYAlgorithmFactory;

class ZEPKeyCertReqItem : public ZEPStoreItem {
public:
    ZEPKeyCertReqItem(const ZEPKRYKey& publicKey, const ZEPKRYKey& privateKey, const ZEPBuffer& subjectNameDER,
                      const ZEPBuffer& label);

    const ZEPKeyItem& getPublicKeyItem() const { return publicKeyItem_; }
    const ZEPKeyItem& getPrivateKeyItem() const { return privateKeyItem_; }
    const ZEPBuffer& getSubjectName() const { return subjectName_; }
    // DER of the request made by the last getSignedCertificationRequest;
    // empty before.
    const ZEPBuffer& getSignedRequestDER() const { return signedRequestDER_; }

    // Makes the PKCS#10 request for the subject and the public key (format
    // FORMAT_SUBJECT_PUBLIC_KEY_INFO), signed by the factory's signature
    // algorithm of `scheme` for the private key, its signatureAlgorithm
    // naming that scheme; keeps its DER in the item and decodes it into
    // `out`. Throws ZEPException 571004 when the public key has another
    // format, the scheme is for another key algorithm than the private
    // key's, or the factory has no such signature algorithm for the key;
    // ZEPASNException when the subject or the public key is no valid DER;
    // the item is unchanged then.
    void getSignedCertificationRequest(CertificationRequest& out, const ZEPKRYAlgorithmFactory& factory,
                                       ZEPKRYSignatureScheme scheme);
    // As above with the private key's default scheme: SHA-256 with ECDSA
    // for an EC key, SHA-1 with RSA for an RSA key.
    void getSignedCertificationRequest(CertificationRequest& out, const ZEPKRYAlgorithmFactory& factory);

private:
    ZEPKeyItem publicKeyItem_;
    ZEPKeyItem privateKeyItem_;
    ZEPBuffer subjectName_;
    ZEPBuffer signedRequestDER_;
};

#endif
