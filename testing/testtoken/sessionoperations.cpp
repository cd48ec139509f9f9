#include "sessionoperations.h"

namespace testtoken {

namespace {

// Ends the session's operation of a kind when the scope is left, unless kept.
class Ending {
public:
    Ending(Session& session, OperationKind kind) noexcept : session_(session), kind_(kind) {}
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;
    ~Ending() {
        if (!kept_) {
            session_.operations.erase(kind_);
        }
    }

    void keep() noexcept { kept_ = true; }

private:
    Session& session_;
    OperationKind kind_;
    bool kept_ = false;
};

}  // namespace

void SessionOperations::start(OperationKind kind, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    std::map<OperationKind, CryptoOperation>& operations = objects_.session().operations;
    if (operations.contains(kind)) {
        throw CryptokiError(CKR_OPERATION_ACTIVE);
    }
    const CK_MECHANISM& chosen = required(mechanism);
    const TokenObject* const object = kind == OperationKind::digest ? nullptr : &objects_.key(key);
    operations.emplace(kind, CryptoOperation(kind, chosen, objects_.token(), object));
}

void SessionOperations::update(OperationKind kind, const ByteArgument& part) {
    CryptoOperation& operation = active(kind);
    Ending ending(objects_.session(), kind);
    operation.add(part.read());
    ending.keep();
}

CK_RV SessionOperations::update(OperationKind kind, const ByteArgument& part, CK_BYTE* output,
                                CK_ULONG* outputLength) {
    CryptoOperation& operation = active(kind);
    Ending ending(objects_.session(), kind);
    CK_ULONG& length = required(outputLength);
    const Bytes bytes = part.read();
    if (output != nullptr) {
        operation.add(bytes);
    }
    length = 0;
    ending.keep();
    return CKR_OK;
}

void SessionOperations::digestKey(CK_OBJECT_HANDLE key) {
    CryptoOperation& operation = active(OperationKind::digest);
    Ending ending(objects_.session(), OperationKind::digest);
    const TokenObject& object = objects_.key(key);
    const AttributeValue* value = object.find(CKA_VALUE);
    if (!object.matches({{CKA_CLASS, ulongValue(CKO_SECRET_KEY)}}) || value == nullptr) {
        throw CryptokiError(CKR_KEY_INDIGESTIBLE);
    }
    operation.add(*value);
    ending.keep();
}

CK_RV SessionOperations::finish(OperationKind kind, const ByteArgument& data, CK_BYTE* output,
                                CK_ULONG* outputLength) {
    const CryptoOperation& operation = active(kind);
    Ending ending(objects_.session(), kind);
    required(outputLength);
    const CK_RV answer = returnList(operation.output(data.read()), output, outputLength);
    if (output == nullptr || answer == CKR_BUFFER_TOO_SMALL) {
        ending.keep();
    }
    return answer;
}

CK_RV SessionOperations::verify(const ByteArgument& data, const ByteArgument& signature) {
    const CryptoOperation& operation = active(OperationKind::verify);
    const Ending ending(objects_.session(), OperationKind::verify);
    return operation.verify(data.read(), signature.read());
}

CryptoOperation& SessionOperations::active(OperationKind kind) {
    std::map<OperationKind, CryptoOperation>& operations = objects_.session().operations;
    const auto found = operations.find(kind);
    if (found == operations.end()) {
        throw CryptokiError(CKR_OPERATION_NOT_INITIALIZED);
    }
    return found->second;
}

}  // namespace testtoken
