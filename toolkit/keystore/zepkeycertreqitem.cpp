#include "keystore/zepkeycertreqitem.h"

#include <memory>
#include <string>

#include "asn/certificationrequest.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// Unsupported key format or algorithm.
constexpr long NOT_SUPPORTED = 571004;

}  // namespace

ZEPKeyCertReqItem::ZEPKeyCertReqItem(const ZEPKRYKey& publicKey, const ZEPKRYKey& privateKey,
                                     const ZEPBuffer& subjectNameDER, const ZEPBuffer& label)
    : ZEPStoreItem(label),
      publicKeyItem_(publicKey, label),
      privateKeyItem_(privateKey, label),
      subjectName_(subjectNameDER) {}

void ZEPKeyCertReqItem::getSignedCertificationRequest(CertificationRequest& out,
                                                      const ZEPKRYAlgorithmFactory& factory,
                                                      ZEPKRYSignatureScheme scheme) {
    const ZEPKRYKey& publicKey = publicKeyItem_.getKey();
    if (publicKey.getFormat() != ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO)
        throw ZEPException(ZEP_HERE, NOT_SUPPORTED, "the request's public key is not a SubjectPublicKeyInfo");

    CertificationRequest request;
    CertificationRequestInfo& info = request.certificationRequestInfo;
    ZEPASNUtility::setDEREncoding(subjectName_, info.subject);
    ZEPASNUtility::setDEREncoding(publicKey.getKeyBlob(), info.subjectPKInfo);

    const ZEPKRYKey& privateKey = privateKeyItem_.getKey();
    if (privateKey.getAlgorithm() != scheme.getKeyAlgorithm())
        throw ZEPException(ZEP_HERE, NOT_SUPPORTED,
                           ZEPString(std::string("the request's private key makes no ") + scheme.getName() +
                                     " signature"));
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(
        scheme.makeSignatureAlgorithm(factory, privateKey));
    if (!signer)
        throw ZEPException(ZEP_HERE, NOT_SUPPORTED,
                           ZEPString(std::string("the algorithm factory has no ") + scheme.getName() +
                                     " signature for the request's private key"));
    ZEPBuffer signature = signer->signData(ZEPASNUtility::getDEREncoding(info).get());

    scheme.getAlgorithmIdentifier(request.signatureAlgorithm);
    zep_asn_check(ZEP_HERE, request.signature.set_value(signature));
    ZEPBuffer der = ZEPASNUtility::getDEREncoding(request);
    ZEPASNUtility::setDEREncoding(der, out);
    signedRequestDER_ = der;
}

void ZEPKeyCertReqItem::getSignedCertificationRequest(CertificationRequest& out,
                                                      const ZEPKRYAlgorithmFactory& factory) {
    getSignedCertificationRequest(out, factory, ZEPKRYSignatureScheme::defaultFor(privateKeyItem_.getKey()));
}
