// Collects the key arguments of a Cryptoki call for the call log.
#ifndef TESTTOKEN_CALLRECORDER_H
#define TESTTOKEN_CALLRECORDER_H

#include "testtoken/testtokencontrol.h"

#include <array>
#include <cassert>
#include <cstddef>

namespace testtoken {

// Up to N entries, kept without allocating; more trip an assertion and are dropped.
template <typename T, std::size_t N>
class BoundedList {
public:
    void add(const T& entry) noexcept {
        assert(count_ < N);
        if (count_ < N) entries_[count_++] = entry;
    }
    const T* begin() const noexcept { return entries_.data(); }
    const T* end() const noexcept { return entries_.data() + count_; }

private:
    std::array<T, N> entries_{};
    std::size_t count_ = 0;
};

// Built on entry to a call from its arguments, without allocating, so that building
// it cannot fail before the call is inside the library's exception barrier. The
// record is made when the call has answered, reading the outputs it names.
// Argument names follow the standard's parameter names.
class CallRecorder {
public:
    explicit CallRecorder(const char* function) noexcept : function_(function) {}

    CallRecorder& value(const char* name, CK_ULONG number) noexcept { return add(name, "", number); }

    // A pointer argument: 1 when given, 0 when null.
    template <typename T>
    CallRecorder& given(const char* name, T* pointer) noexcept {
        return value(name, pointer != nullptr ? 1 : 0);
    }

    // A count or handle the call writes: whether given, and "<name>.out" on return.
    CallRecorder& output(const char* name, const CK_ULONG* pointer) noexcept;

    // A count the call reads and writes: as output(), and "<name>.in" on entry.
    CallRecorder& inOut(const char* name, const CK_ULONG* pointer) noexcept;

    // A mechanism argument: whether given, and when given its type as "mechanism"
    // and its parameter as the input "pParameter" of length "ulParameterLen".
    CallRecorder& mechanism(const char* name, const CK_MECHANISM* pointer) noexcept {
        given(name, pointer);
        if (pointer == nullptr) return *this;
        return value("mechanism", pointer->mechanism)
            .input("pParameter", static_cast<const CK_BYTE*>(pointer->pParameter), "ulParameterLen",
                   pointer->ulParameterLen);
    }

    // A template argument: whether given, its count under countName, and its
    // attribute types in the record's attributeTypes.
    CallRecorder& attributes(const char* name, const CK_ATTRIBUTE* pointer, const char* countName,
                             CK_ULONG count) noexcept;

    // A byte-string input: whether given, its length under lengthName, and its bytes
    // in the record's inputs when given.
    CallRecorder& input(const char* name, const CK_BYTE* pointer, const char* lengthName, CK_ULONG length) noexcept;

    const char* function() const noexcept { return function_; }

    CallRecord record(CK_RV result) const;

private:
    struct Argument {
        const char* name;
        const char* suffix;
        CK_ULONG number;
    };
    struct Output {
        const char* name;
        const CK_ULONG* pointer;
    };
    struct Template {
        const CK_ATTRIBUTE* pointer;
        CK_ULONG count;
    };
    struct Input {
        const char* name;
        const CK_BYTE* pointer;
        CK_ULONG length;
    };

    CallRecorder& add(const char* name, const char* suffix, CK_ULONG number) noexcept {
        arguments_.add({name, suffix, number});
        return *this;
    }

    const char* function_;
    BoundedList<Argument, 16> arguments_;
    BoundedList<Output, 2> outputs_;
    BoundedList<Template, 2> templates_;
    BoundedList<Input, 2> inputs_;
};

}  // namespace testtoken

#endif
