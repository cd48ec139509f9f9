// The client's object calls against a real token: a fresh SoftHSM2 token per test.
#include "softhsmtest.h"

namespace {

class SoftHSMObjects : public SoftHSMTest {
protected:
    SoftHSMObjects() {
        client_.openSession(tokenSlot(), CKF_RW_SESSION, session_);
        client_.login(session_, CKU_USER, pin(token_.userPin()));
    }
    ~SoftHSMObjects() override {
        if (session_) client_.closeSession(session_);
    }

    std::vector<CK_OBJECT_HANDLE> findData(const char* label) {
        AttributeTemplate search;
        search.setAttribute(CKA_CLASS, CKO_DATA);
        search.setAttribute(CKA_LABEL, ZEPString(label));
        std::vector<CK_OBJECT_HANDLE> found;
        client_.findObjects(session_, search, found);
        return found;
    }

    CK_SESSION_HANDLE session_ = 0;
};

TEST_F(SoftHSMObjects, DataObjectIsFoundReadRelabelledAndDestroyed) {
    const ZEPBuffer value(600, std::string(600, 'v').data());
    AttributeTemplate attributes;
    attributes.setAttribute(CKA_CLASS, CKO_DATA);
    attributes.setAttribute(CKA_TOKEN, 1);
    attributes.setAttribute(CKA_LABEL, ZEPString("report"));
    attributes.setAttribute(CKA_VALUE, value);
    CK_OBJECT_HANDLE object = 0;
    client_.createObject(session_, attributes, object);
    EXPECT_EQ(findData("report"), std::vector<CK_OBJECT_HANDLE>{object});

    AttributeTemplate request, result;
    request.addAttribute(CKA_CLASS);
    request.addAttribute(CKA_LABEL);
    request.addAttribute(CKA_VALUE);
    request.addAttribute(CKA_MODULUS);
    // The label and value are fetched by a second pass, whose answer is the result.
    EXPECT_EQ(client_.getAttributeValue(session_, object, request, result), CKR_OK);
    CK_ULONG objectClass = 99;
    ZEPString label;
    ZEPBuffer read;
    EXPECT_TRUE(result.getAttribute(CKA_CLASS, objectClass));
    EXPECT_TRUE(result.getAttribute(CKA_LABEL, label));
    EXPECT_TRUE(result.getAttribute(CKA_VALUE, read));
    EXPECT_EQ(objectClass, CKO_DATA);
    EXPECT_EQ(label.str(), "report");
    EXPECT_EQ(read, value);
    EXPECT_EQ(result.size(), 3u);

    AttributeTemplate relabel;
    relabel.setAttribute(CKA_LABEL, ZEPString("renamed"));
    client_.setAttributeValue(session_, object, relabel);
    EXPECT_TRUE(findData("report").empty());
    EXPECT_EQ(findData("renamed"), std::vector<CK_OBJECT_HANDLE>{object});

    client_.destroyObject(session_, object);
    EXPECT_TRUE(findData("renamed").empty());
}

TEST_F(SoftHSMObjects, GeneratedKeyPairKeepsItsPrivateExponent) {
    AttributeTemplate publicTemplate, privateTemplate;
    publicTemplate.setAttribute(CKA_PUBLIC_EXPONENT, ZEPBuffer(3, "\x01\x00\x01"));
    publicTemplate.setAttribute(CKA_MODULUS_BITS, CK_ULONG{1024});
    publicTemplate.setAttribute(CKA_TOKEN, 1);
    for (CK_ATTRIBUTE_TYPE flag : {CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN})
        privateTemplate.setAttribute(flag, 1);
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    client_.generateKeyPair(session_, CKM_RSA_PKCS_KEY_PAIR_GEN, publicTemplate, privateTemplate, publicKey,
                            privateKey);

    AttributeTemplate request, result;
    request.setAttribute(CKA_MODULUS, ZEPBuffer(128, nullptr));
    request.addAttribute(CKA_PRIVATE_EXPONENT);
    EXPECT_EQ(client_.getAttributeValue(session_, privateKey, request, result), CKR_ATTRIBUTE_SENSITIVE);
    ZEPBuffer modulus;
    EXPECT_TRUE(result.getAttribute(CKA_MODULUS, modulus));
    EXPECT_EQ(modulus.getLength(), 128u);
    EXPECT_EQ(result.size(), 1u);
}

}  // namespace
