// Reading and answering the pointer arguments of Cryptoki calls.
#ifndef TESTTOKEN_ARGUMENTS_H
#define TESTTOKEN_ARGUMENTS_H

#include "cryptoki.h"
#include "cryptokierror.h"

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

// The two-call protocol of list answers: a null buffer asks for the length; a
// buffer shorter than the list gets CKR_BUFFER_TOO_SMALL and the length needed;
// otherwise the list is copied. *count always ends as the list's length.
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

}  // namespace testtoken

#endif
