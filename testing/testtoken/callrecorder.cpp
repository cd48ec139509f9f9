#include "callrecorder.h"

#include <cassert>

namespace testtoken {

CallRecorder& CallRecorder::add(const char* name, const char* suffix, CK_ULONG number) noexcept {
    assert(argumentCount_ < arguments_.size());
    if (argumentCount_ < arguments_.size()) {
        arguments_[argumentCount_++] = {name, suffix, number};
    }
    return *this;
}

CallRecorder& CallRecorder::output(const char* name, const CK_ULONG* pointer) noexcept {
    given(name, pointer);
    assert(outputCount_ < outputs_.size());
    if (pointer != nullptr && outputCount_ < outputs_.size()) {
        outputs_[outputCount_++] = {name, pointer};
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
    assert(templateCount_ < templates_.size());
    if (pointer != nullptr && templateCount_ < templates_.size()) {
        templates_[templateCount_++] = {pointer, count};
    }
    return *this;
}

CallRecorder& CallRecorder::input(const char* name, const CK_BYTE* pointer, const char* lengthName,
                                  CK_ULONG length) noexcept {
    given(name, pointer).value(lengthName, length);
    assert(inputCount_ < inputs_.size());
    if (pointer != nullptr && inputCount_ < inputs_.size()) {
        inputs_[inputCount_++] = {name, pointer, length};
    }
    return *this;
}

CallRecord CallRecorder::record(CK_RV result) const {
    CallRecord record;
    record.function = function_;
    record.result = result;
    for (std::size_t i = 0; i < argumentCount_; ++i) {
        const Argument& argument = arguments_[i];
        record.args[std::string(argument.name) + argument.suffix] = argument.number;
    }
    for (std::size_t i = 0; i < outputCount_; ++i) {
        record.args[std::string(outputs_[i].name) + ".out"] = *outputs_[i].pointer;
    }
    for (std::size_t i = 0; i < templateCount_; ++i) {
        const Template& attributes = templates_[i];
        for (CK_ULONG j = 0; j < attributes.count; ++j) {
            record.attributeTypes.push_back(attributes.pointer[j].type);
        }
    }
    for (std::size_t i = 0; i < inputCount_; ++i) {
        const Input& input = inputs_[i];
        record.inputs.emplace(input.name, Bytes(input.pointer, input.pointer + input.length));
    }
    return record;
}

}  // namespace testtoken
