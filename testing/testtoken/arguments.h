// Reading and answering the pointer arguments of Cryptoki calls.
#ifndef TESTTOKEN_ARGUMENTS_H
#define TESTTOKEN_ARGUMENTS_H

#include "cryptoki.h"
#include "cryptokierror.h"
#include "testtoken/testtokencontrol.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace testtoken {

// The object a pointer argument points at; CKR_ARGUMENTS_BAD when it is null.
template <typename T>
T& required(T* pointer) {
    if (pointer == nullptr) {
        throw CryptokiError(CKR_ARGUMENTS_BAD);
    }
    return *pointer;
}

// Writes text into a fixed-width Cryptoki text field: blank padded, cut when too
// long, never terminated.
template <std::size_t N>
void fillPadded(CK_UTF8CHAR (&field)[N], std::string_view text) {
    const std::size_t length = std::min(N, text.size());
    std::copy_n(text.begin(), length, field);
    std::fill(field + length, field + N, ' ');
}

// The two-call protocol of list and byte-string answers: a null buffer asks for the
// length; a buffer shorter than the list gets CKR_BUFFER_TOO_SMALL and the length
// needed; otherwise the list is copied. *count always ends as the list's length.
template <typename T>
CK_RV returnList(const std::vector<T>& items, T* buffer, CK_ULONG* count) {
    CK_ULONG& length = required(count);
    const auto needed = static_cast<CK_ULONG>(items.size());
    const bool fits = buffer == nullptr || length >= needed;
    if (buffer != nullptr && fits) {
        std::copy(items.begin(), items.end(), buffer);
    }
    length = needed;
    return fits ? CKR_OK : CKR_BUFFER_TOO_SMALL;
}

// A byte-string argument, read when the call needs it: CKR_ARGUMENTS_BAD for a null
// pointer, even with length 0, as SoftHSM2 answers. A default one stands for a call
// that takes no data (a final call) and reads as no bytes.
class ByteArgument {
public:
    ByteArgument() noexcept = default;
    ByteArgument(const CK_BYTE* pointer, CK_ULONG length) noexcept
        : pointer_(pointer), length_(length), given_(true) {}

    Bytes read() const {
        if (given_ && pointer_ == nullptr) {
            throw CryptokiError(CKR_ARGUMENTS_BAD);
        }
        return Bytes(pointer_, pointer_ + length_);
    }

private:
    const CK_BYTE* pointer_ = nullptr;
    CK_ULONG length_ = 0;
    bool given_ = false;
};

// The attributes of a template argument, a later entry of a type replacing an earlier
// one: CKR_ARGUMENTS_BAD for a null array with a count, CKR_ATTRIBUTE_VALUE_INVALID
// for a null value with a length.
inline Attributes readTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count) {
    if (attributes == nullptr && count != 0) {
        throw CryptokiError(CKR_ARGUMENTS_BAD);
    }
    Attributes read;
    for (CK_ULONG i = 0; i < count; ++i) {
        const CK_ATTRIBUTE& attribute = attributes[i];
        if (attribute.pValue == nullptr && attribute.ulValueLen != 0) {
            throw CryptokiError(CKR_ATTRIBUTE_VALUE_INVALID);
        }
        const auto* bytes = static_cast<const CK_BYTE*>(attribute.pValue);
        read.insert_or_assign(attribute.type, AttributeValue(bytes, bytes + attribute.ulValueLen));
    }
    return read;
}

}  // namespace testtoken

#endif
