#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "attributetemplate.h"

namespace {

TEST(AttributeTemplate, KeepsOneEntryPerTypeInTypeOrder) {
    AttributeTemplate attributes;
    attributes.setAttribute(CKA_ID, ZEPBuffer(2, "\x01\x02"));
    attributes.setULong(CKA_CLASS, CKO_PRIVATE_KEY);
    attributes.setText(CKA_LABEL, ZEPString("first"));
    attributes.setText(CKA_LABEL, ZEPString("second"));
    ASSERT_EQ(attributes.size(), 3u);

    std::unique_ptr<CK_ATTRIBUTE[]> array;
    attributes.toArray(array);
    EXPECT_EQ(array[0].type, CKA_CLASS);
    EXPECT_EQ(array[0].ulValueLen, sizeof(CK_ULONG));
    EXPECT_EQ(array[1].type, CKA_LABEL);
    EXPECT_EQ(std::string(static_cast<char*>(array[1].pValue), array[1].ulValueLen), "second");
    EXPECT_EQ(array[2].type, CKA_ID);
}

TEST(AttributeTemplate, ReadRequestsAreSizedByKind) {
    AttributeTemplate request;
    request.addAttribute(CKA_MODULUS_BITS);
    request.addAttribute(CKA_SIGN);
    request.addAttribute(CKA_MODULUS);
    std::unique_ptr<CK_ATTRIBUTE[]> array;
    request.toArray(array);
    EXPECT_EQ(array[0].type, CKA_SIGN);
    EXPECT_EQ(array[0].ulValueLen, 1u);
    EXPECT_EQ(array[1].type, CKA_MODULUS);
    EXPECT_EQ(array[1].pValue, nullptr);
    EXPECT_EQ(array[1].ulValueLen, 0u);
    EXPECT_EQ(array[2].ulValueLen, sizeof(CK_ULONG));
    // Cryptoki writes straight into the template's buffers.
    const CK_ULONG bits = 2048;
    std::memcpy(array[2].pValue, &bits, sizeof bits);
    CK_ULONG read = 0;
    EXPECT_TRUE(request.getAttribute(CKA_MODULUS_BITS, read));
    EXPECT_EQ(read, 2048u);
}

TEST(AttributeTemplate, EmptyTemplateLeavesTheArrayAlone) {
    AttributeTemplate empty;
    std::unique_ptr<CK_ATTRIBUTE[]> array(new CK_ATTRIBUTE[1]);
    CK_ATTRIBUTE* before = array.get();
    empty.toArray(array);
    EXPECT_EQ(array.get(), before);
}

TEST(AttributeTemplate, TypedValuesAndAbsentTypes) {
    AttributeTemplate attributes;
    attributes.setULong(CKA_MODULUS_BITS, 2048);
    attributes.setBool(CKA_TOKEN, false);
    attributes.setBool(CKA_PRIVATE, true);
    ZEPBuffer bits;
    ASSERT_TRUE(attributes.getAttribute(CKA_MODULUS_BITS, bits));
    EXPECT_EQ(bits.getLength(), sizeof(CK_ULONG));
    CK_ULONG modulusBits = 0;
    EXPECT_TRUE(attributes.getAttribute(CKA_MODULUS_BITS, modulusBits));
    EXPECT_EQ(modulusBits, 2048u);
    // A value shorter than a CK_ULONG is read as far as it goes: none is 0.
    attributes.setAttribute(CKA_VALUE_LEN, ZEPBuffer());
    EXPECT_TRUE(attributes.getAttribute(CKA_VALUE_LEN, modulusBits));
    EXPECT_EQ(modulusBits, 0u);
    ZEPBuffer token;
    ASSERT_TRUE(attributes.getAttribute(CKA_TOKEN, token));
    EXPECT_EQ(token, ZEPBuffer(1, "\x00"));
    bool isPrivate = false, absent = true;
    EXPECT_TRUE(attributes.getAttribute(CKA_PRIVATE, isPrivate));
    EXPECT_TRUE(isPrivate);
    EXPECT_FALSE(attributes.getAttribute(CKA_SENSITIVE, absent));
    EXPECT_TRUE(absent);
    ZEPString label("kept");
    EXPECT_FALSE(attributes.getAttribute(CKA_LABEL, label));
    EXPECT_EQ(label.str(), "kept");
}

TEST(AttributeTemplate, KindsAndNames) {
    EXPECT_EQ(getAttributeKind(CKA_VALUE_BITS), AttributeKind::Bytes);
    EXPECT_EQ(getAttributeKind(CKA_VALUE_LEN), AttributeKind::ULong);
    EXPECT_EQ(getAttributeKind(CKA_START_DATE), AttributeKind::Date);
    EXPECT_EQ(getAttributeKind(0x200), AttributeKind::Unknown);
    EXPECT_EQ(getAttributeName(CKA_NEVER_EXTRACTABLE).str(), "CKA_NEVER_EXTRACTABLE");
    EXPECT_EQ(getAttributeName(CKA_ID).str(), "CKA_ID               ");
    EXPECT_EQ(getAttributeName(0x200).str(), "CKA_?_?_?            ");
}

TEST(AttributeTemplate, PrintsOneLinePerAttribute) {
    AttributeTemplate attributes;
    attributes.setULong(CKA_CLASS, CK_ULONG(5));
    attributes.setBool(CKA_TOKEN, true);
    attributes.setText(CKA_LABEL, ZEPString("abc"));
    attributes.setAttribute(CKA_ID, ZEPBuffer(2, "\xab\x01"));
    attributes.setAttribute(CKA_START_DATE, ZEPBuffer(8, "20240131"));
    attributes.setAttribute(CKA_END_DATE, ZEPBuffer(8, "00000000"));
    attributes.setAttribute(0x200, ZEPBuffer(1, "x"));
    std::ostringstream out;
    out << attributes;
    const std::string prefix = "\t     Value: ";
    EXPECT_EQ(out.str(),
              " Attribute: CKA_CLASS            " + prefix + "CKO_VENDOR_DEFINED  5 (0x5)\n"
              " Attribute: CKA_TOKEN            " + prefix + "true\n"
              " Attribute: CKA_LABEL            " + prefix + "abc\n"
              " Attribute: CKA_ID               " + prefix + "\n  > ab 01\n"
              " Attribute: CKA_START_DATE       " + prefix + "2024/01/31\n"
              " Attribute: CKA_END_DATE         " + prefix + "yyyy/mm/dd\n"
              " Attribute: CKA_?_?_?            " + prefix + "\n");
}

TEST(AttributeTemplate, ShortDateIsNotReadPastItsEnd) {
    AttributeTemplate attributes;
    attributes.setAttribute(CKA_START_DATE, ZEPBuffer(3, "202"));
    std::ostringstream out;
    out << attributes;
    EXPECT_NE(out.str().find("yyyy/mm/dd"), std::string::npos);
}

}  // namespace
