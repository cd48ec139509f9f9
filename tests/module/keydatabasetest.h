// Base of the key-database tests: a logged-in slot manager on the test token
// and certificates made by openssl, which tests put on the token as objects.
#ifndef MERVIL_TESTS_KEYDATABASETEST_H
#define MERVIL_TESTS_KEYDATABASETEST_H

#include <memory>
#include <string>

#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "openssltool.h"
#include "slotmanager.h"
#include "testtokentest.h"

using testtoken::Attributes;
using testtoken::AttributeValue;

inline AttributeValue bytesOf(const ZEPBuffer& buffer) {
    return AttributeValue(buffer.getValue(), buffer.getValue() + buffer.getLength());
}

inline ZEPBuffer bufferOf(const std::string& text) { return ZEPBuffer(text.size(), text.data()); }

// Certificates of one RSA key, all for the subject CN=Alice,O=Example.
struct TestCertificates {
    ZEPBuffer first;          // serial 1
    ZEPBuffer sameSerial;     // serial 1 again, other validity
    ZEPBuffer otherSerial;    // serial 2
    ZEPBuffer resigned;       // first, with another signature
    ZEPBuffer modulus;        // of the key, without leading zeros
    ZEPBuffer exponent;
};

class KeyDatabaseTest : public TestTokenTest {
protected:
    static constexpr CK_SLOT_ID kSlot = 6;

    static void SetUpTestSuite();
    static void TearDownTestSuite() { certificates_.reset(); }

    KeyDatabaseTest();

    SlotManager& slot() { return *slot_; }
    // Starts over on a fresh token with a slot manager of this session type,
    // logged in unless `login` is false.
    void restart(int sessionType = 1, bool login = true);

    static ZEPBuffer subjectOf(const ZEPBuffer& certificateDER);
    static CK_OBJECT_HANDLE addCertificate(const ZEPBuffer& der, const std::string& label, const ZEPBuffer& id);
    // An RSA key object of the certificates' key; `without` leaves attributes out.
    static CK_OBJECT_HANDLE addKey(CK_OBJECT_CLASS keyClass, const std::string& label, const ZEPBuffer& id,
                                   const ZEPBuffer& subject, std::initializer_list<CK_ATTRIBUTE_TYPE> without = {});
    // An EC key object of the openssl key `key` ("ec", "ec384", "ec521"): a
    // private key holds the curve, a public key the curve and its point, as
    // a DER OCTET STRING or, when `barePoint`, bare.
    static CK_OBJECT_HANDLE addECKey(CK_OBJECT_CLASS keyClass, const std::string& key, const ZEPBuffer& id,
                                     const ZEPBuffer& subject, bool barePoint = false);

    static std::unique_ptr<TestCertificates> certificates_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
};

#endif
