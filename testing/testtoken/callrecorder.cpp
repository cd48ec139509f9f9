#include "callrecorder.h"

namespace testtoken {

CallRecorder& CallRecorder::output(const char* name, const CK_ULONG* pointer) noexcept {
    given(name, pointer);
    if (pointer != nullptr) {
        outputs_.add({name, pointer});
    }
    return *this;
}

CallRecorder& CallRecorder::inOut(const char* name, const CK_ULONG* pointer) noexcept {
    if (pointer != nullptr) {
        add(name, ".in", *pointer);
    }
    return output(name, pointer);
}

CallRecorder& CallRecorder::attributes(const char* name, const CK_ATTRIBUTE* pointer, const char* countName,
                                       CK_ULONG count) noexcept {
    given(name, pointer).value(countName, count);
    if (pointer != nullptr) {
        templates_.add({pointer, count});
    }
    return *this;
}

CallRecorder& CallRecorder::input(const char* name, const CK_BYTE* pointer, const char* lengthName,
                                  CK_ULONG length) noexcept {
    given(name, pointer).value(lengthName, length);
    if (pointer != nullptr) {
        inputs_.add({name, pointer, length});
    }
    return *this;
}

CallRecord CallRecorder::record(CK_RV result) const {
    CallRecord record;
    record.function = function_;
    record.result = result;
    for (const Argument& argument : arguments_) {
        record.args[std::string(argument.name) + argument.suffix] = argument.number;
    }
    for (const Output& output : outputs_) {
        record.args[std::string(output.name) + ".out"] = *output.pointer;
    }
    for (const Template& attributes : templates_) {
        for (CK_ULONG j = 0; j < attributes.count; ++j) {
            record.attributeTypes.push_back(attributes.pointer[j].type);
        }
    }
    for (const Input& input : inputs_) {
        record.inputs.emplace(input.name, Bytes(input.pointer, input.pointer + input.length));
    }
    return record;
}

}  // namespace testtoken
