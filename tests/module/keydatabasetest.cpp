#include "keydatabasetest.h"

#include <sstream>

#include "asn/zepecpublickey.h"

std::unique_ptr<TestCertificates> KeyDatabaseTest::certificates_;

void KeyDatabaseTest::SetUpTestSuite() {
    OpenSSLTool openssl;
    auto certificates = std::make_unique<TestCertificates>();
    openssl.copySharedKey("rsa1024.pem", "key.pem");
    const std::string request = "req -new -x509 -key key.pem -subj /CN=Alice/O=Example -outform DER ";
    openssl.must(request + "-set_serial 1 -days 10 -out first.der");
    openssl.must(request + "-set_serial 1 -days 20 -out same.der");
    openssl.must(request + "-set_serial 2 -days 10 -out other.der");
    certificates->first = openssl.readFile("first.der");
    certificates->sameSerial = openssl.readFile("same.der");
    certificates->otherSerial = openssl.readFile("other.der");
    // The signature closes the certificate: changing its last byte gives the
    // same unsigned certificate with another signature.
    certificates->resigned = certificates->first;
    certificates->resigned.getValue()[certificates->resigned.getLength() - 1] ^= 0x01;
    std::string modulus = openssl.must("rsa -in key.pem -noout -modulus");
    certificates->modulus = OpenSSLTool::hexBytes(modulus.substr(modulus.find('=') + 1));
    certificates->exponent = ZEPBuffer(3, "\x01\x00\x01");
    certificates_ = std::move(certificates);
}

KeyDatabaseTest::KeyDatabaseTest() { restart(); }

void KeyDatabaseTest::restart(int sessionType, bool login) {
    slot_.reset();
    manager_.reset();
    Control::reset();
    testtoken::SlotSettings settings;
    settings.id = kSlot;
    settings.token.label = "database";
    Control::addSlot(settings);
    manager_ = connect();
    slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(kSlot, sessionType)));
    if (login) slot_->login(pin("1234"));
}

ZEPBuffer KeyDatabaseTest::subjectOf(const ZEPBuffer& certificateDER) {
    x509_certificate certificate;
    ZEPASNUtility::setDEREncoding(certificateDER, certificate);
    return ZEPASNUtility::getDEREncoding(certificate.get_subject());
}

CK_OBJECT_HANDLE KeyDatabaseTest::addCertificate(const ZEPBuffer& der, const std::string& label, const ZEPBuffer& id) {
    return Control::addObject(kSlot, {{CKA_CLASS, testtoken::ulongValue(CKO_CERTIFICATE)},
                                      {CKA_CERTIFICATE_TYPE, testtoken::ulongValue(CKC_X_509)},
                                      {CKA_LABEL, testtoken::textValue(label)},
                                      {CKA_ID, bytesOf(id)},
                                      {CKA_SUBJECT, bytesOf(subjectOf(der))},
                                      {CKA_VALUE, bytesOf(der)}});
}

CK_OBJECT_HANDLE KeyDatabaseTest::addKey(CK_OBJECT_CLASS keyClass, const std::string& label, const ZEPBuffer& id,
                                         const ZEPBuffer& subject, std::initializer_list<CK_ATTRIBUTE_TYPE> without) {
    Attributes attributes = {{CKA_CLASS, testtoken::ulongValue(keyClass)},
                             {CKA_KEY_TYPE, testtoken::ulongValue(CKK_RSA)},
                             {CKA_PRIVATE, testtoken::boolValue(keyClass == CKO_PRIVATE_KEY)},
                             {CKA_LABEL, testtoken::textValue(label)},
                             {CKA_ID, bytesOf(id)},
                             {CKA_SUBJECT, bytesOf(subject)},
                             {CKA_MODULUS, bytesOf(certificates_->modulus)},
                             {CKA_PUBLIC_EXPONENT, bytesOf(certificates_->exponent)}};
    for (CK_ATTRIBUTE_TYPE type : without) attributes.erase(type);
    return Control::addObject(kSlot, attributes);
}

CK_OBJECT_HANDLE KeyDatabaseTest::addECKey(CK_OBJECT_CLASS keyClass, const std::string& key, const ZEPBuffer& id,
                                           const ZEPBuffer& subject, bool barePoint) {
    const ZEPECPublicKey publicKey(OpenSSLTool::sharedKey(key + ".spki"));
    Attributes attributes = {{CKA_CLASS, testtoken::ulongValue(keyClass)},
                             {CKA_KEY_TYPE, testtoken::ulongValue(CKK_EC)},
                             {CKA_PRIVATE, testtoken::boolValue(keyClass == CKO_PRIVATE_KEY)},
                             {CKA_LABEL, testtoken::textValue(key)},
                             {CKA_ID, bytesOf(id)},
                             {CKA_SUBJECT, bytesOf(subject)},
                             {CKA_EC_PARAMS, bytesOf(publicKey.getCurve().getECParams())}};
    if (keyClass == CKO_PUBLIC_KEY)
        attributes[CKA_EC_POINT] = bytesOf(barePoint ? publicKey.getPoint() : publicKey.getECPoint());
    return Control::addObject(kSlot, attributes);
}
