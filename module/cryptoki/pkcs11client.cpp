#include "pkcs11client.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>

#include "zepplatform.h"

namespace {

CK_UTF8CHAR* pinBytes(const ZEPBuffer& pin) { return const_cast<CK_UTF8CHAR*>(pin.getValue()); }

bool sessionIsGone(CK_RV rv) {
    return rv == CKR_DEVICE_REMOVED || rv == CKR_SESSION_CLOSED || rv == CKR_SESSION_HANDLE_INVALID;
}

// Handles asked for per C_FindObjects call.
constexpr CK_ULONG kSearchBatch = 10;

// The CK_ATTRIBUTE array of a template for one call, pointing into the
// template's buffers: a null array with count 0 for an empty template.
class AttributeArray {
public:
    explicit AttributeArray(AttributeTemplate& attributes) : count_(static_cast<CK_ULONG>(attributes.size())) {
        attributes.toArray(array_);
    }
    CK_ATTRIBUTE* data() const { return array_.get(); }
    CK_ULONG count() const { return count_; }
    const CK_ATTRIBUTE& operator[](size_t i) const { return array_[i]; }

private:
    std::unique_ptr<CK_ATTRIBUTE[]> array_;
    CK_ULONG count_;
};

// Counts a write on a token once its call has returned, however it ended:
// a cache that looked up the count before the write sees it changed after.
class WriteMark {
public:
    explicit WriteMark(std::atomic<uint64_t>& writes) : writes_(writes) {}
    WriteMark(const WriteMark&) = delete;
    WriteMark& operator=(const WriteMark&) = delete;
    ~WriteMark() { ++writes_; }

private:
    std::atomic<uint64_t>& writes_;
};

// A mechanism without parameter.
CK_MECHANISM mechanismOf(CK_MECHANISM_TYPE type) { return {type, nullptr, 0}; }

// Mutex callbacks offered to libraries that cannot use the operating
// system's locking primitives. The library calls them from any thread, so
// nothing may be thrown back into it: failures become return values.
CK_RV createMutex(CK_VOID_PTR_PTR mutex) noexcept {
    if (!mutex) return CKR_ARGUMENTS_BAD;
    *mutex = new (std::nothrow) ZEPMutex;
    return *mutex ? CKR_OK : CKR_HOST_MEMORY;
}

CK_RV destroyMutex(CK_VOID_PTR mutex) noexcept {
    delete static_cast<ZEPMutex*>(mutex);
    return CKR_OK;
}

CK_RV lockMutex(CK_VOID_PTR mutex) noexcept {
    if (!mutex) return CKR_MUTEX_BAD;
    try {
        static_cast<ZEPMutex*>(mutex)->lock();
        return CKR_OK;
    } catch (...) {
        return CKR_GENERAL_ERROR;
    }
}

CK_RV unlockMutex(CK_VOID_PTR mutex) noexcept {
    if (!mutex) return CKR_MUTEX_BAD;
    static_cast<ZEPMutex*>(mutex)->unlock();
    return CKR_OK;
}


}  // namespace

PKCS11Client::PKCS11Client(const char* libraryName) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::PKCS11Client()");
    CallLock lock(*this);
    try {
        connect(libraryName);
        initialize(true);
    } catch (...) {
        disconnect();
        throw;
    }
}

PKCS11Client::~PKCS11Client() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::~PKCS11Client()");
    CallLock lock(*this);
    try {
        finalize();
    } catch (const ZEPException& e) {
        // The library is released below whatever C_Finalize said.
        ZEP_TRACE_INFO(MODULE_TRACE, std::string("Finalizing failed: ") + e.what());
    }
    disconnect();
}

void PKCS11Client::connect(const char* libraryName) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::connect()");
    if (library_) return;
    const char* name = libraryName ? libraryName : "";
    long error = zep_load_library(name, library_);
    if (error != 0 || !library_) {
        library_ = nullptr;
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_BOUND, ZEPString("zep_load_library(\"") + name + "\")",
                                 static_cast<CK_RV>(error));
    }
    void* address = nullptr;
    error = zep_get_func_address(library_, "C_GetFunctionList", address);
    if (error != 0 || !address)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_BOUND, "zep_get_func_address(\"C_GetFunctionList\")",
                                 static_cast<CK_RV>(error));
    CK_RV rv = reinterpret_cast<CK_C_GetFunctionList>(address)(&functions_);
    if (rv != CKR_OK) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::GENERAL_FAILED, "C_GetFunctionList", rv);
}

void PKCS11Client::disconnect() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::disconnect()");
    if (library_) zep_free_library(library_);
    library_ = nullptr;
}

CK_BYTE* PKCS11Client::dataOf(const ZEPBuffer& buffer) {
    // Cryptoki never writes to it: whoever gets it is told there is no byte.
    static CK_BYTE noBytes = 0;
    return buffer.empty() ? &noBytes : const_cast<CK_BYTE*>(buffer.getValue());
}

CK_RV PKCS11Client::check(CK_RV rv, const char* name, long family, const Outcome& outcome) {
    calls_.fetch_add(1, std::memory_order_relaxed);
    if (rv == CKR_OK || std::find(outcome.accepted.begin(), outcome.accepted.end(), rv) != outcome.accepted.end())
        return rv;
    if (outcome.session && sessionIsGone(rv)) *outcome.session = 0;
    throw ZEPPKCS11Exception(ZEP_HERE, family, name, rv);
}

CK_RV PKCS11Client::initialize(bool withArguments) {
    return run("PKCS11Client::initialize()", CRYPTOKI_FUNCTION(C_Initialize, errorcode::GENERAL_FAILED), Locking::none,
               [&](CK_C_Initialize initializeLibrary) -> CK_RV {
        if (!withArguments) {
            ZEP_TRACE_INFO(MODULE_TRACE, "Using C_Initialize(initArgs=NULL)");
            lockingSwitch_ = true;
            return initializeLibrary(nullptr);
        }

        CK_C_INITIALIZE_ARGS osLocking = {nullptr, nullptr, nullptr, nullptr, CKF_OS_LOCKING_OK, nullptr};
        CK_RV rv = initializeLibrary(&osLocking);
        if (rv == CKR_OK) {
            ZEP_TRACE_INFO(MODULE_TRACE, "Using C_Initialize(initArgs=OS)");
            // A failing C_GetInfo leaves the version 0.0, which keeps OS locking.
            CK_INFO info = {};
            run(nullptr, CRYPTOKI_FUNCTION(C_GetInfo, errorcode::GENERAL_FAILED), Locking::none,
                [&](CK_C_GetInfo getLibraryInfo) { return getLibraryInfo(&info); });
            if (info.cryptokiVersion.major < 2 || info.cryptokiVersion.minor != 0) {
                lockingSwitch_ = false;
                return CKR_OK;
            }
            // Libraries of version x.0 are not trusted with concurrent calls.
            finalize();
        } else if (rv == CKR_CANT_LOCK) {
            CK_C_INITIALIZE_ARGS callbacks = {createMutex, destroyMutex, lockMutex, unlockMutex, 0, nullptr};
            if (initializeLibrary(&callbacks) == CKR_OK) {
                ZEP_TRACE_INFO(MODULE_TRACE, "Using C_Initialize(initArgs=ZEP)");
                lockingSwitch_ = false;
                return CKR_OK;
            }
        }

        return check(initialize(false), "C_Initialize", errorcode::GENERAL_FAILED, {});
    });
}

CK_RV PKCS11Client::finalize() {
    return run("PKCS11Client::finalize()", CRYPTOKI_FUNCTION(C_Finalize, errorcode::GENERAL_FAILED), Locking::none,
               [this](CK_C_Finalize finalizeLibrary) {
                   return check(finalizeLibrary(nullptr), "C_Finalize", errorcode::GENERAL_FAILED, {});
               });
}

template <typename Item, typename Function, typename Call>
CK_RV PKCS11Client::appendList(const char* label, Cryptoki<Function> function, std::vector<Item>& items, Call call) {
    return run(label, function, Locking::client, [&](Function f) {
        CK_ULONG count = 0;
        check(call(f, nullptr, &count), function.name, function.family, {});
        // A real array even for no items: some libraries refuse a null one.
        const CK_ULONG capacity = count;
        auto received = std::make_unique<Item[]>(std::max<CK_ULONG>(capacity, 1));
        const CK_RV rv = call(f, received.get(), &count);
        items.insert(items.end(), received.get(), received.get() + std::min(count, capacity));
        return check(rv, function.name, function.family, {});
    });
}

CK_RV PKCS11Client::getInfo(CK_INFO* info) {
    return call("PKCS11Client::getInfo()", CRYPTOKI_FUNCTION(C_GetInfo, errorcode::GENERAL_FAILED), {}, info);
}

CK_RV PKCS11Client::getSlotList(std::vector<CK_SLOT_ID>& slots, bool tokenPresent) {
    const CK_BBOOL present = tokenPresent ? CK_TRUE : CK_FALSE;
    return appendList("PKCS11Client::getSlotList()", CRYPTOKI_FUNCTION(C_GetSlotList, errorcode::SLOT_FAILED), slots,
                      [&](CK_C_GetSlotList f, CK_SLOT_ID* list, CK_ULONG* count) { return f(present, list, count); });
}

CK_RV PKCS11Client::getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info) {
    return call("PKCS11Client::getSlotInfo()", CRYPTOKI_FUNCTION(C_GetSlotInfo, errorcode::SLOT_FAILED), {}, slot, info);
}

CK_RV PKCS11Client::getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
    return call("PKCS11Client::getTokenInfo()", CRYPTOKI_FUNCTION(C_GetTokenInfo, errorcode::TOKEN_FAILED), {}, slot, info);
}

CK_RV PKCS11Client::getMechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms) {
    return appendList(
        "PKCS11Client::getMechanismList()", CRYPTOKI_FUNCTION(C_GetMechanismList, errorcode::TOKEN_FAILED), mechanisms,
        [&](CK_C_GetMechanismList f, CK_MECHANISM_TYPE* list, CK_ULONG* count) { return f(slot, list, count); });
}

CK_RV PKCS11Client::getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO* info) {
    return call("PKCS11Client::getMechanismInfo()", CRYPTOKI_FUNCTION(C_GetMechanismInfo, errorcode::TOKEN_FAILED), {}, slot,
                type, info);
}

CK_RV PKCS11Client::initToken(CK_SLOT_ID slot, const ZEPBuffer& soPin, const ZEPString& label) {
    const WriteMark mark(writes_);
    // Cryptoki reads a 32-character label field: give it exactly that,
    // blank padded, so a short label is never read past its end.
    std::array<CK_UTF8CHAR, 32> field;
    field.fill(' ');
    std::copy_n(label.c_str(), std::min(label.size(), field.size()), field.begin());
    return call("PKCS11Client::initToken()", CRYPTOKI_FUNCTION(C_InitToken, errorcode::TOKEN_FAILED), {}, slot,
                pinBytes(soPin), CK_ULONG(soPin.getLength()), field.data());
}

CK_RV PKCS11Client::openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE& session) {
    return run("PKCS11Client::openSession()", CRYPTOKI_FUNCTION(C_OpenSession, errorcode::SESSION_FAILED), Locking::client,
               [&](CK_C_OpenSession open) {
                   const CK_RV rv = open(slot, flags | CKF_SERIAL_SESSION, nullptr, nullptr, &session);
                   if (rv == CKR_OK || rv == CKR_SESSION_EXISTS) return rv;
                   session = 0;
                   if (rv == CKR_TOKEN_NOT_PRESENT)
                       throw ZEPPKCS11Exception(ZEP_HERE, errorcode::TOKEN_NOT_PRESENT,
                                                "C_OpenSession() indicates the token is not present in the slot");
                   return check(rv, "C_OpenSession", errorcode::SESSION_FAILED, {});
               });
}

CK_RV PKCS11Client::closeAllSessions(CK_SLOT_ID slot) {
    return call("PKCS11Client::closeAllSessions()", CRYPTOKI_FUNCTION(C_CloseAllSessions, errorcode::SESSION_FAILED), {},
                slot);
}

CK_RV PKCS11Client::closeSession(CK_SESSION_HANDLE& session) {
    return run("PKCS11Client::closeSession()", CRYPTOKI_FUNCTION(C_CloseSession, errorcode::SESSION_FAILED), Locking::client,
               [&](CK_C_CloseSession close) {
                   const CK_RV rv = close(session);
                   // The handle is of no further use, whatever the library said.
                   session = 0;
                   return check(rv, "C_CloseSession", errorcode::SESSION_FAILED, {});
               });
}

CK_RV PKCS11Client::initPin(CK_SESSION_HANDLE& session, const ZEPBuffer& pin) {
    const WriteMark mark(writes_);
    return call("PKCS11Client::initPin()", CRYPTOKI_FUNCTION(C_InitPIN, errorcode::TOKEN_FAILED), {&session}, session,
                pinBytes(pin), CK_ULONG(pin.getLength()));
}

CK_RV PKCS11Client::setPin(CK_SESSION_HANDLE& session, const ZEPBuffer& oldPin, const ZEPBuffer& newPin) {
    return call("PKCS11Client::setPin()", CRYPTOKI_FUNCTION(C_SetPIN, errorcode::TOKEN_FAILED), {&session}, session,
                pinBytes(oldPin), CK_ULONG(oldPin.getLength()), pinBytes(newPin), CK_ULONG(newPin.getLength()));
}

CK_RV PKCS11Client::getSessionInfo(CK_SESSION_HANDLE& session, CK_SESSION_INFO* info) {
    return call("PKCS11Client::getSessionInfo()", CRYPTOKI_FUNCTION(C_GetSessionInfo, errorcode::SESSION_FAILED), {&session},
                session, info);
}

CK_RV PKCS11Client::login(CK_SESSION_HANDLE& session, CK_USER_TYPE userType, const ZEPBuffer& pin) {
    return call("PKCS11Client::login()", CRYPTOKI_FUNCTION(C_Login, errorcode::SESSION_FAILED),
                {&session, {CKR_USER_ALREADY_LOGGED_IN, CKR_OK}}, session, userType, pinBytes(pin),
                CK_ULONG(pin.getLength()));
}

CK_RV PKCS11Client::logout(CK_SESSION_HANDLE& session) {
    return call("PKCS11Client::logout()", CRYPTOKI_FUNCTION(C_Logout, errorcode::SESSION_FAILED),
                {&session, {CKR_USER_NOT_LOGGED_IN, CKR_OK}}, session);
}

CK_RV PKCS11Client::getOperationState(CK_SESSION_HANDLE& session, ZEPBuffer& state) {
    const auto function = CRYPTOKI_FUNCTION(C_GetOperationState, errorcode::SESSION_FAILED);
    return run("PKCS11Client::getOperationState()", function, Locking::client, [&](CK_C_GetOperationState getState) {
        CK_ULONG length = 0;
        check(getState(session, nullptr, &length), function.name, function.family, {&session});
        ZEPBuffer received(length, nullptr);
        const CK_RV rv = getState(session, dataOf(received), &length);
        state.assign(std::min<size_t>(length, received.getLength()), received.getValue());
        return check(rv, function.name, function.family, {&session});
    });
}

CK_RV PKCS11Client::setOperationState(CK_SESSION_HANDLE& session, const ZEPBuffer& state) {
    return call("PKCS11Client::setOperationState()", CRYPTOKI_FUNCTION(C_SetOperationState, errorcode::SESSION_FAILED),
                {&session}, session, dataOf(state), CK_ULONG(state.getLength()),
                CK_OBJECT_HANDLE(0), CK_OBJECT_HANDLE(0));
}

CK_RV PKCS11Client::findObjectsInit(CK_SESSION_HANDLE& session, AttributeTemplate& search) {
    const auto function = CRYPTOKI_FUNCTION(C_FindObjectsInit, errorcode::OBJECT_FAILED);
    return run("PKCS11Client::findObjectsInit()", function, Locking::none, [&](CK_C_FindObjectsInit init) {
        AttributeArray array(search);
        return check(init(session, array.data(), array.count()), function.name, function.family, {&session});
    });
}

CK_RV PKCS11Client::findObjects(CK_SESSION_HANDLE& session, std::vector<CK_OBJECT_HANDLE>& objects) {
    const auto function = CRYPTOKI_FUNCTION(C_FindObjects, errorcode::OBJECT_FAILED);
    return run("PKCS11Client::findObjects()", function, Locking::none, [&](CK_C_FindObjects find) {
        std::array<CK_OBJECT_HANDLE, kSearchBatch> batch;
        // The count is cleared before every call, so a call that fails without
        // writing it counts as delivering nothing. Only a call that delivered
        // handles has its return value looked at; one that delivered none ends
        // the search.
        CK_ULONG count = 0;
        CK_RV rv = find(session, batch.data(), kSearchBatch, &count);
        while (count != 0) {
            check(rv, function.name, function.family, {&session});
            objects.insert(objects.end(), batch.begin(), batch.begin() + std::min(count, kSearchBatch));
            if (count != kSearchBatch) break;
            count = 0;
            rv = find(session, batch.data(), kSearchBatch, &count);
        }
        return CKR_OK;
    });
}

CK_RV PKCS11Client::findObjectsFinal(CK_SESSION_HANDLE& session) {
    const auto function = CRYPTOKI_FUNCTION(C_FindObjectsFinal, errorcode::OBJECT_FAILED);
    return run("PKCS11Client::findObjectsFinal()", function, Locking::none, [&](CK_C_FindObjectsFinal finish) {
        return check(finish(session), function.name, function.family, {&session});
    });
}

CK_RV PKCS11Client::findObjects(CK_SESSION_HANDLE& session, AttributeTemplate& search,
                                std::vector<CK_OBJECT_HANDLE>& objects) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::findObjects()");
    const auto sequence = lockSession(session);
    CallLock lock(*this);
    try {
        findObjectsInit(session, search);
    } catch (const ZEPPKCS11Exception& e) {
        // Searches on one session never interleave, so an active one was left
        // by a search whose end failed: finish it and start again.
        if (e.getReturnValue() != CKR_OPERATION_ACTIVE) throw;
        abandonSearch(session);
        findObjectsInit(session, search);
    }
    try {
        findObjects(session, objects);
    } catch (const ZEPPKCS11Exception&) {
        abandonSearch(session);
        throw;
    }
    return findObjectsFinal(session);
}

void PKCS11Client::abandonSearch(CK_SESSION_HANDLE session) noexcept {
    if (session != 0 && isBound() && functions_->C_FindObjectsFinal) functions_->C_FindObjectsFinal(session);
}

CK_RV PKCS11Client::createObject(CK_SESSION_HANDLE& session, AttributeTemplate& attributes,
                                 CK_OBJECT_HANDLE& object) {
    const WriteMark mark(writes_);
    const auto function = CRYPTOKI_FUNCTION(C_CreateObject, errorcode::OBJECT_FAILED);
    return run("PKCS11Client::createObject()", function, Locking::client, [&](CK_C_CreateObject create) {
        object = 0;
        if (attributes.size() == 0) return CKR_OK;
        AttributeArray array(attributes);
        return check(create(session, array.data(), array.count(), &object), function.name, function.family,
                     {&session});
    });
}

CK_RV PKCS11Client::destroyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object) {
    const WriteMark mark(writes_);
    return call("PKCS11Client::destroyObject()", CRYPTOKI_FUNCTION(C_DestroyObject, errorcode::OBJECT_FAILED), {&session},
                session, object);
}

CK_RV PKCS11Client::copyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, AttributeTemplate& attributes,
                               CK_OBJECT_HANDLE& copy) {
    const WriteMark mark(writes_);
    AttributeArray array(attributes);
    return call("PKCS11Client::copyObject()", CRYPTOKI_FUNCTION(C_CopyObject, errorcode::OBJECT_FAILED), {&session}, session,
                object, array.data(), array.count(), &copy);
}

CK_RV PKCS11Client::getAttributeValue(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                                      AttributeTemplate& request, AttributeTemplate& result) {
    const auto sequence = lockSession(session);
    return run("PKCS11Client::getAttributeValue()", CRYPTOKI_FUNCTION(C_GetAttributeValue, errorcode::OBJECT_FAILED),
               Locking::client,
               [&](CK_C_GetAttributeValue read) { return getAttribute(read, session, object, request, result); });
}

CK_RV PKCS11Client::getAttributeLength(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                                       CK_ULONG& length) {
    CK_ATTRIBUTE attribute = {type, nullptr, 0};
    const CK_RV rv = call("PKCS11Client::getAttributeLength()",
                          CRYPTOKI_FUNCTION(C_GetAttributeValue, errorcode::OBJECT_FAILED),
                          {&session, {CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID}}, session, object,
                          &attribute, CK_ULONG(1));
    length = attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION ? 0 : attribute.ulValueLen;
    return rv;
}

CK_RV PKCS11Client::getAttribute(CK_C_GetAttributeValue read, CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                                 AttributeTemplate& request, AttributeTemplate& values) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getAttribute()");
    if (request.size() == 0) return CKR_OK;
    AttributeArray array(request);
    const CK_RV rv = check(read(session, object, array.data(), array.count()), "C_GetAttributeValue",
                           errorcode::OBJECT_FAILED, {&session, {CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID}});
    AttributeTemplate pending;
    size_t i = 0;
    for (const auto& [type, buffer] : request.values()) {
        const CK_ATTRIBUTE& answered = array[i++];
        if (answered.ulValueLen == CK_UNAVAILABLE_INFORMATION) continue;  // sensitive or unknown
        if (!answered.pValue && answered.ulValueLen != 0)
            pending.setAttribute(type, ZEPBuffer(answered.ulValueLen, nullptr));
        else
            // Never past the buffer, whatever length the library claims.
            values.setAttribute(type, answered.pValue, std::min<size_t>(answered.ulValueLen, buffer.getLength()));
    }
    return pending.size() == 0 ? rv : getAttribute(read, session, object, pending, values);
}

CK_RV PKCS11Client::setAttributeValue(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                                      AttributeTemplate& attributes) {
    const WriteMark mark(writes_);
    const auto function = CRYPTOKI_FUNCTION(C_SetAttributeValue, errorcode::OBJECT_FAILED);
    return run("PKCS11Client::setAttributeValue()", function, Locking::client, [&](CK_C_SetAttributeValue set) {
        if (attributes.size() == 0) return CKR_OK;
        AttributeArray array(attributes);
        return check(set(session, object, array.data(), array.count()), function.name, function.family, {&session});
    });
}

CK_RV PKCS11Client::generateKey(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism,
                                AttributeTemplate& attributes, CK_OBJECT_HANDLE& key) {
    const WriteMark mark(writes_);
    CK_MECHANISM method = mechanismOf(mechanism);
    AttributeArray array(attributes);
    return call("PKCS11Client::generateKey()", CRYPTOKI_FUNCTION(C_GenerateKey, errorcode::KEYGEN_FAILED), {&session},
                session, &method, array.data(), array.count(), &key);
}

CK_RV PKCS11Client::generateKeyPair(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism,
                                    AttributeTemplate& publicTemplate, AttributeTemplate& privateTemplate,
                                    CK_OBJECT_HANDLE& publicKey, CK_OBJECT_HANDLE& privateKey) {
    const WriteMark mark(writes_);
    CK_MECHANISM method = mechanismOf(mechanism);
    AttributeArray publicArray(publicTemplate);
    AttributeArray privateArray(privateTemplate);
    return call("PKCS11Client::generateKeyPair()", CRYPTOKI_FUNCTION(C_GenerateKeyPair, errorcode::KEYGEN_FAILED),
                {&session}, session, &method, publicArray.data(), publicArray.count(), privateArray.data(),
                privateArray.count(), &publicKey, &privateKey);
}
