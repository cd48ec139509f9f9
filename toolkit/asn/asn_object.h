// Base of the DER object model: one ASN.1 value with its tag, optional
// EXPLICIT context tag, and optional/present state.
//
// Tagging: set_tag/set_class replace the type's own tag (IMPLICIT tagging);
// set_explicit_tag wraps the element in a constructed tag (EXPLICIT).
// An object made optional is absent until it is decoded or given a value;
// composites skip absent optional children when writing.
//
// Every store of contents is wiped on release. The security flag marks
// objects that hold key material; structures pass it to such members.
#ifndef MERVIL_ASN_OBJECT_H
#define MERVIL_ASN_OBJECT_H

#include "asn/asn_error.h"
#include "asn/buffer_t.h"
#include "asn/der_reader.h"
#include "zepbuffer.h"

class asn_object {
public:
    enum tag_class { CLASS_UNIVERSAL = 0x00, CLASS_APPLICATION = 0x40, CLASS_CONTEXT = 0x80, CLASS_PRIVATE = 0xC0 };

    virtual ~asn_object() = default;

    void set_tag(unsigned long tag) { tag_ = tag; }
    unsigned long get_tag() const { return tag_; }
    void set_class(int cls) { cls_ = cls & 0xC0; }
    int get_class() const { return cls_; }
    bool is_constructed() const { return constructed_; }
    void set_explicit_tag(unsigned long tag, int cls = CLASS_CONTEXT);

    void set_optional(bool optional);
    bool is_optional() const { return optional_; }
    void set_present(bool present) { present_ = present; }
    bool is_present() const { return present_; }
    int get_security() const { return security_; }

    // Decodes exactly one DER element filling all of `input`. On failure the
    // object is reset to its empty value. Returns 0 or an asn_error code.
    int read(const r_buffer_t& input);
    // Appends the DER encoding; `out` is unchanged on failure.
    int write(buffer_t& out) const;

    // Copies the value of an object of the same type (and structure).
    virtual int assign(const asn_object& other) = 0;
    // Back to the empty value the object had when it was made; an optional
    // object becomes absent. Overrides clear their value and call this.
    virtual void reset() { present_ = !optional_; }

    // Decodes the next element of `reader`, at nesting `depth`.
    int decode(der_reader& reader, unsigned depth);
    // Whether an element with this identifier can be decoded by this object.
    bool matches(const der_tlv& tlv) const;

protected:
    asn_object(unsigned long tag, bool constructed, int security)
        : tag_(tag), constructed_(constructed), security_(security) {}
    asn_object(const asn_object&) = default;
    asn_object& operator=(const asn_object&) = default;

    // Whether the element itself (inside any explicit tag) is of this type.
    virtual bool accepts(const der_tlv& tlv) const;
    virtual int decode_content(const der_tlv& tlv, unsigned depth) = 0;
    virtual int encode_content(buffer_t& out) const = 0;
    // Identifier and content; asn_any replaces it with the DER it holds.
    virtual int encode_element(buffer_t& out) const;
    // Tagging and state of another object, for assign.
    void assign_state(const asn_object& other);

private:
    unsigned long tag_;
    int cls_ = CLASS_UNIVERSAL;
    bool constructed_;
    bool explicit_ = false;
    unsigned long explicit_tag_ = 0;
    int explicit_class_ = CLASS_CONTEXT;
    bool optional_ = false;
    bool present_ = true;
    int security_;
};

// Equal when both encode and the DER encodings are identical.
bool operator==(const asn_object& left, const asn_object& right);

#endif
