// One object on a token: its attributes and what they say about reading and
// changing it.
#ifndef TESTTOKEN_TOKENOBJECT_H
#define TESTTOKEN_TOKENOBJECT_H

#include "testtoken/testtokencontrol.h"

#include <optional>

namespace testtoken {

class TokenObject {
public:
    // Completes the attributes with the token's defaults: CKA_TOKEN as tokenByDefault,
    // CKA_PRIVATE true for private and secret keys and false otherwise, CKA_MODIFIABLE
    // true. A session object belongs to `creator`.
    TokenObject(Attributes attributes, bool tokenByDefault, CK_SESSION_HANDLE creator);

    const Attributes& attributes() const noexcept { return attributes_; }
    // The owning session of a session object.
    std::optional<CK_SESSION_HANDLE> owner() const noexcept { return owner_; }

    bool isTokenObject() const { return flag(CKA_TOKEN); }
    bool isPrivate() const { return flag(CKA_PRIVATE); }

    // Null when the object has no such attribute.
    const AttributeValue* find(CK_ATTRIBUTE_TYPE type) const;
    // A key component that a sensitive or unextractable key keeps to itself.
    bool isSensitive(CK_ATTRIBUTE_TYPE type) const;
    // Whether every attribute of the filter is on the object with the same bytes.
    bool matches(const Attributes& filter) const;

    // C_SetAttributeValue: all changes or none. CKR_ATTRIBUTE_READ_ONLY when the
    // object is not modifiable or a change would alter what makes the object (class,
    // key type, CKA_TOKEN, CKA_PRIVATE, CKA_MODIFIABLE).
    void modify(const Attributes& changes);

private:
    bool flag(CK_ATTRIBUTE_TYPE type) const;

    Attributes attributes_;
    std::optional<CK_SESSION_HANDLE> owner_;
};

}  // namespace testtoken

#endif
