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
        search.setULong(CKA_CLASS, CKO_DATA);
        search.setText(CKA_LABEL, ZEPString(label));
        std::vector<CK_OBJECT_HANDLE> found;
        client_.findObjects(session_, search, found);
        return found;
    }

    CK_SESSION_HANDLE session_ = 0;
};

TEST_F(SoftHSMObjects, DataObjectIsFoundReadRelabelledAndDestroyed) {
    const ZEPBuffer value(600, std::string(600, 'v').data());
    AttributeTemplate attributes;
    attributes.setULong(CKA_CLASS, CKO_DATA);
    attributes.setBool(CKA_TOKEN, true);
    attributes.setText(CKA_LABEL, ZEPString("report"));
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
    relabel.setText(CKA_LABEL, ZEPString("renamed"));
    client_.setAttributeValue(session_, object, relabel);
    EXPECT_TRUE(findData("report").empty());
    EXPECT_EQ(findData("renamed"), std::vector<CK_OBJECT_HANDLE>{object});

    client_.destroyObject(session_, object);
    EXPECT_TRUE(findData("renamed").empty());
}

}  // namespace
