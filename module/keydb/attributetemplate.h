// An ordered set of Cryptoki attributes, each a type with its value, as every
// object call of the module passes them: filled by typed setters, turned into
// the CK_ATTRIBUTE array of a call, read back by kind.
#ifndef MERVIL7_ATTRIBUTETEMPLATE_H
#define MERVIL7_ATTRIBUTETEMPLATE_H

#include <iosfwd>
#include <map>
#include <memory>

#include "cryptoki.h"
#include "zepbuffer.h"
#include "zepstring.h"

// The kind of value an attribute type holds.
enum class AttributeKind { Unknown = 0, ULong = 1, Bool = 2, String = 3, Bytes = 4, Date = 5 };

AttributeKind getAttributeKind(CK_ATTRIBUTE_TYPE type);
// The attribute's name blank-padded to 21 characters ("CKA_?_?_?" for types
// the module does not know).
ZEPString getAttributeName(CK_ATTRIBUTE_TYPE type);

class AttributeTemplate {
public:
    size_t size() const { return values_.size(); }
    void clear() { values_.clear(); }

    // Prepares `type` for reading from the token: a CK_ULONG- or CK_BBOOL-
    // sized buffer for those kinds, an empty one (length query) otherwise.
    void addAttribute(CK_ATTRIBUTE_TYPE type);

    // Each setter replaces any value of the type. Values are stored as the
    // token holds them: a CK_ULONG in native form, a CK_BBOOL as one byte,
    // text as its characters without terminator, bytes as given.
    void setAttribute(CK_ATTRIBUTE_TYPE type, const ZEPBuffer& value);
    void setAttribute(CK_ATTRIBUTE_TYPE type, const void* bytes, size_t length);
    void setULong(CK_ATTRIBUTE_TYPE type, CK_ULONG value);
    void setBool(CK_ATTRIBUTE_TYPE type, bool value);
    void setText(CK_ATTRIBUTE_TYPE type, const ZEPString& value);

    // Each returns false, leaving `out` alone, when the type is absent.
    bool getAttribute(CK_ATTRIBUTE_TYPE type, ZEPString& out) const;
    bool getAttribute(CK_ATTRIBUTE_TYPE type, ZEPBuffer& out) const;
    bool getAttribute(CK_ATTRIBUTE_TYPE type, CK_ULONG& out) const;
    bool getAttribute(CK_ATTRIBUTE_TYPE type, bool& out) const;

    // The attributes in increasing type order, pointing into this template's
    // own buffers (an empty value gives a null pointer and length 0). Valid
    // while the template lives unchanged. An empty template leaves `array`
    // as it is.
    void toArray(std::unique_ptr<CK_ATTRIBUTE[]>& array);

    const std::map<CK_ATTRIBUTE_TYPE, ZEPBuffer>& values() const { return values_; }

private:
    std::map<CK_ATTRIBUTE_TYPE, ZEPBuffer> values_;
};

// One line per attribute, for diagnostics.
std::ostream& operator<<(std::ostream& out, const AttributeTemplate& attributes);

#endif
