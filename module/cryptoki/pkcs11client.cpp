#include "pkcs11client.h"

#include <algorithm>
#include <array>
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

// A mechanism without parameter.
CK_MECHANISM mechanismOf(CK_MECHANISM_TYPE type) { return {type, nullptr, 0}; }

// Mutex callbacks offered to libraries that cannot use the operating
// system's locking primitives. Each answers CKR_OK in every case.
extern "C" {
CK_RV createMutex(CK_VOID_PTR_PTR mutex) {
    if (mutex) *mutex = new (std::nothrow) ZEPMutex;
    return CKR_OK;
}

CK_RV destroyMutex(CK_VOID_PTR mutex) {
    delete static_cast<ZEPMutex*>(mutex);
    return CKR_OK;
}

CK_RV lockMutex(CK_VOID_PTR mutex) {
    if (mutex) static_cast<ZEPMutex*>(mutex)->lock();
    return CKR_OK;
}

CK_RV unlockMutex(CK_VOID_PTR mutex) {
    if (mutex) static_cast<ZEPMutex*>(mutex)->unlock();
    return CKR_OK;
}
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

CK_RV PKCS11Client::initialize(bool withArguments) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::initialize()");
    CK_C_Initialize initializeLibrary = function(&CK_FUNCTION_LIST::C_Initialize, "C_Initialize");
    if (!withArguments) {
        ZEP_TRACE_INFO(MODULE_TRACE, "Using C_Initialize(initArgs=NULL)");
        lockingSwitch_ = true;
        return initializeLibrary(nullptr);
    }

    CK_C_INITIALIZE_ARGS osLocking = {nullptr, nullptr, nullptr, nullptr, CKF_OS_LOCKING_OK, nullptr};
    CK_RV rv = initializeLibrary(&osLocking);
    if (rv == CKR_OK) {
        ZEP_TRACE_INFO(MODULE_TRACE, "Using C_Initialize(initArgs=OS)");
        CK_C_GetInfo getLibraryInfo = function(&CK_FUNCTION_LIST::C_GetInfo, "C_GetInfo");
        // A failing C_GetInfo leaves the version 0.0, which keeps OS locking.
        CK_INFO info = {};
        getLibraryInfo(&info);
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

    rv = initialize(false);
    if (rv != CKR_OK) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::GENERAL_FAILED, "C_Initialize", rv);
    return CKR_OK;
}

CK_RV PKCS11Client::finalize() {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::finalize()");
    CK_C_Finalize finalizeLibrary = function(&CK_FUNCTION_LIST::C_Finalize, "C_Finalize");
    return result(finalizeLibrary(nullptr), "C_Finalize", errorcode::GENERAL_FAILED);
}

CK_RV PKCS11Client::result(CK_RV rv, const char* name, long family, CK_SESSION_HANDLE* session,
                           std::initializer_list<CK_RV> accepted) {
    if (rv == CKR_OK || std::find(accepted.begin(), accepted.end(), rv) != accepted.end()) return rv;
    if (session && sessionIsGone(rv)) *session = 0;
    throw ZEPPKCS11Exception(ZEP_HERE, family, name, rv);
}

template <typename Item, typename Call>
CK_RV PKCS11Client::appendList(std::vector<Item>& items, Call call, const char* name, long family) {
    CallLock lock(*this);
    CK_ULONG count = 0;
    result(call(nullptr, &count), name, family);
    std::vector<Item> received(count);
    CK_RV rv = call(received.data(), &count);
    if (rv == CKR_OK) items.insert(items.end(), received.begin(), received.begin() + std::min<size_t>(count, received.size()));
    return result(rv, name, family);
}

CK_RV PKCS11Client::getInfo(CK_INFO* info) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getInfo()");
    CK_C_GetInfo getLibraryInfo = function(&CK_FUNCTION_LIST::C_GetInfo, "C_GetInfo");
    CallLock lock(*this);
    return result(getLibraryInfo(info), "C_GetInfo", errorcode::GENERAL_FAILED);
}

CK_RV PKCS11Client::getSlotList(std::vector<CK_SLOT_ID>& slots, bool tokenPresent) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getSlotList()");
    CK_C_GetSlotList getSlots = function(&CK_FUNCTION_LIST::C_GetSlotList, "C_GetSlotList");
    CK_BBOOL present = tokenPresent ? CK_TRUE : CK_FALSE;
    return appendList(
        slots, [&](CK_SLOT_ID* list, CK_ULONG* count) { return getSlots(present, list, count); }, "C_GetSlotList",
        errorcode::SLOT_FAILED);
}

CK_RV PKCS11Client::getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getSlotInfo()");
    CK_C_GetSlotInfo getInfo = function(&CK_FUNCTION_LIST::C_GetSlotInfo, "C_GetSlotInfo");
    CallLock lock(*this);
    return result(getInfo(slot, info), "C_GetSlotInfo", errorcode::SLOT_FAILED);
}

CK_RV PKCS11Client::getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getTokenInfo()");
    CK_C_GetTokenInfo getInfo = function(&CK_FUNCTION_LIST::C_GetTokenInfo, "C_GetTokenInfo");
    CallLock lock(*this);
    return result(getInfo(slot, info), "C_GetTokenInfo", errorcode::TOKEN_FAILED);
}

CK_RV PKCS11Client::getMechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getMechanismList()");
    CK_C_GetMechanismList getList = function(&CK_FUNCTION_LIST::C_GetMechanismList, "C_GetMechanismList");
    return appendList(
        mechanisms, [&](CK_MECHANISM_TYPE* list, CK_ULONG* count) { return getList(slot, list, count); },
        "C_GetMechanismList", errorcode::TOKEN_FAILED);
}

CK_RV PKCS11Client::getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO* info) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getMechanismInfo()");
    CK_C_GetMechanismInfo getInfo = function(&CK_FUNCTION_LIST::C_GetMechanismInfo, "C_GetMechanismInfo");
    CallLock lock(*this);
    return result(getInfo(slot, type, info), "C_GetMechanismInfo", errorcode::TOKEN_FAILED);
}

CK_RV PKCS11Client::initToken(CK_SLOT_ID slot, const ZEPBuffer& soPin, const ZEPString& label) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::initToken()");
    CK_C_InitToken init = function(&CK_FUNCTION_LIST::C_InitToken, "C_InitToken");
    // Cryptoki reads a 32-character label field: give it exactly that,
    // blank padded, so a short label is never read past its end.
    std::array<CK_UTF8CHAR, 32> field;
    field.fill(' ');
    std::copy_n(label.c_str(), std::min(label.size(), field.size()), field.begin());
    CallLock lock(*this);
    return result(init(slot, pinBytes(soPin), soPin.getLength(), field.data()), "C_InitToken",
                  errorcode::TOKEN_FAILED);
}

CK_RV PKCS11Client::openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE& session) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::openSession()");
    CK_C_OpenSession open = function(&CK_FUNCTION_LIST::C_OpenSession, "C_OpenSession");
    CallLock lock(*this);
    CK_RV rv = open(slot, flags | CKF_SERIAL_SESSION, nullptr, nullptr, &session);
    if (rv == CKR_OK || rv == CKR_SESSION_EXISTS) return rv;
    session = 0;
    if (rv == CKR_TOKEN_NOT_PRESENT)
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::TOKEN_NOT_PRESENT,
                                 "C_OpenSession() indicates the token is not present in the slot");
    return result(rv, "C_OpenSession", errorcode::SESSION_FAILED);
}

CK_RV PKCS11Client::closeAllSessions(CK_SLOT_ID slot) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::closeAllSessions()");
    CK_C_CloseAllSessions closeAll = function(&CK_FUNCTION_LIST::C_CloseAllSessions, "C_CloseAllSessions");
    CallLock lock(*this);
    return result(closeAll(slot), "C_CloseAllSessions", errorcode::SESSION_FAILED);
}

CK_RV PKCS11Client::closeSession(CK_SESSION_HANDLE& session) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::closeSession()");
    CK_C_CloseSession close = function(&CK_FUNCTION_LIST::C_CloseSession, "C_CloseSession");
    CallLock lock(*this);
    CK_RV rv = close(session);
    // The handle is of no further use, whatever the library said.
    session = 0;
    return result(rv, "C_CloseSession", errorcode::SESSION_FAILED);
}

CK_RV PKCS11Client::initPin(CK_SESSION_HANDLE& session, const ZEPBuffer& pin) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::initPin()");
    CK_C_InitPIN init = function(&CK_FUNCTION_LIST::C_InitPIN, "C_InitPIN");
    CallLock lock(*this);
    return result(init(session, pinBytes(pin), pin.getLength()), "C_InitPIN", errorcode::TOKEN_FAILED, &session);
}

CK_RV PKCS11Client::setPin(CK_SESSION_HANDLE& session, const ZEPBuffer& oldPin, const ZEPBuffer& newPin) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::setPin()");
    CK_C_SetPIN set = function(&CK_FUNCTION_LIST::C_SetPIN, "C_SetPIN");
    CallLock lock(*this);
    return result(set(session, pinBytes(oldPin), oldPin.getLength(), pinBytes(newPin), newPin.getLength()),
                  "C_SetPIN", errorcode::TOKEN_FAILED, &session);
}

CK_RV PKCS11Client::getSessionInfo(CK_SESSION_HANDLE& session, CK_SESSION_INFO* info) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getSessionInfo()");
    CK_C_GetSessionInfo getInfo = function(&CK_FUNCTION_LIST::C_GetSessionInfo, "C_GetSessionInfo");
    CallLock lock(*this);
    return result(getInfo(session, info), "C_GetSessionInfo", errorcode::SESSION_FAILED, &session);
}

CK_RV PKCS11Client::login(CK_SESSION_HANDLE& session, CK_USER_TYPE userType, const ZEPBuffer& pin) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::login()");
    CK_C_Login logIn = function(&CK_FUNCTION_LIST::C_Login, "C_Login");
    CallLock lock(*this);
    return result(logIn(session, userType, pinBytes(pin), pin.getLength()), "C_Login", errorcode::SESSION_FAILED,
                  &session, {CKR_USER_ALREADY_LOGGED_IN});
}

CK_RV PKCS11Client::logout(CK_SESSION_HANDLE& session) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::logout()");
    CK_C_Logout logOut = function(&CK_FUNCTION_LIST::C_Logout, "C_Logout");
    CallLock lock(*this);
    return result(logOut(session), "C_Logout", errorcode::SESSION_FAILED, &session, {CKR_USER_NOT_LOGGED_IN});
}

CK_RV PKCS11Client::getOperationState(CK_SESSION_HANDLE& session, ZEPBuffer& state) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getOperationState()");
    CK_C_GetOperationState getState = function(&CK_FUNCTION_LIST::C_GetOperationState, "C_GetOperationState");
    CallLock lock(*this);
    CK_ULONG length = 0;
    result(getState(session, nullptr, &length), "C_GetOperationState", errorcode::SESSION_FAILED, &session);
    ZEPBuffer received(length, nullptr);
    CK_RV rv = getState(session, received.getValue(), &length);
    state.assign(std::min<size_t>(length, received.getLength()), received.getValue());
    return result(rv, "C_GetOperationState", errorcode::SESSION_FAILED, &session);
}

CK_RV PKCS11Client::setOperationState(CK_SESSION_HANDLE& session, const ZEPBuffer& state) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::setOperationState()");
    CK_C_SetOperationState setState = function(&CK_FUNCTION_LIST::C_SetOperationState, "C_SetOperationState");
    CallLock lock(*this);
    return result(setState(session, const_cast<CK_BYTE*>(state.getValue()), state.getLength(), 0, 0),
                  "C_SetOperationState", errorcode::SESSION_FAILED, &session);
}

CK_RV PKCS11Client::findObjectsInit(CK_SESSION_HANDLE& session, AttributeTemplate& search) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::findObjectsInit()");
    CK_C_FindObjectsInit init = function(&CK_FUNCTION_LIST::C_FindObjectsInit, "C_FindObjectsInit");
    AttributeArray array(search);
    return result(init(session, array.data(), array.count()), "C_FindObjectsInit", errorcode::OBJECT_FAILED,
                  &session);
}

CK_RV PKCS11Client::findObjects(CK_SESSION_HANDLE& session, std::vector<CK_OBJECT_HANDLE>& objects) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::findObjects()");
    CK_C_FindObjects find = function(&CK_FUNCTION_LIST::C_FindObjects, "C_FindObjects");
    std::array<CK_OBJECT_HANDLE, kSearchBatch> batch;
    // The count is cleared before every call, so a call that fails without
    // writing it counts as delivering nothing. Only a call that delivered
    // handles has its return value looked at; one that delivered none ends
    // the search.
    CK_ULONG count = 0;
    CK_RV rv = find(session, batch.data(), kSearchBatch, &count);
    while (count != 0) {
        result(rv, "C_FindObjects", errorcode::OBJECT_FAILED, &session);
        objects.insert(objects.end(), batch.begin(), batch.begin() + std::min(count, kSearchBatch));
        if (count != kSearchBatch) break;
        count = 0;
        rv = find(session, batch.data(), kSearchBatch, &count);
    }
    return CKR_OK;
}

CK_RV PKCS11Client::findObjectsFinal(CK_SESSION_HANDLE& session) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::findObjectsFinal()");
    CK_C_FindObjectsFinal finish = function(&CK_FUNCTION_LIST::C_FindObjectsFinal, "C_FindObjectsFinal");
    return result(finish(session), "C_FindObjectsFinal", errorcode::OBJECT_FAILED, &session);
}

CK_RV PKCS11Client::findObjects(CK_SESSION_HANDLE& session, AttributeTemplate& search,
                                std::vector<CK_OBJECT_HANDLE>& objects) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::findObjects()");
    CallLock lock(*this);
    findObjectsInit(session, search);
    findObjects(session, objects);
    return findObjectsFinal(session);
}

CK_RV PKCS11Client::createObject(CK_SESSION_HANDLE& session, AttributeTemplate& attributes,
                                 CK_OBJECT_HANDLE& object) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::createObject()");
    CK_C_CreateObject create = function(&CK_FUNCTION_LIST::C_CreateObject, "C_CreateObject");
    CallLock lock(*this);
    object = 0;
    if (attributes.size() == 0) return CKR_OK;
    AttributeArray array(attributes);
    return result(create(session, array.data(), array.count(), &object), "C_CreateObject",
                  errorcode::OBJECT_FAILED, &session);
}

CK_RV PKCS11Client::destroyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::destroyObject()");
    CK_C_DestroyObject destroy = function(&CK_FUNCTION_LIST::C_DestroyObject, "C_DestroyObject");
    CallLock lock(*this);
    return result(destroy(session, object), "C_DestroyObject", errorcode::OBJECT_FAILED, &session);
}

CK_RV PKCS11Client::copyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, AttributeTemplate& attributes,
                               CK_OBJECT_HANDLE& copy) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::copyObject()");
    CK_C_CopyObject duplicate = function(&CK_FUNCTION_LIST::C_CopyObject, "C_CopyObject");
    CallLock lock(*this);
    AttributeArray array(attributes);
    return result(duplicate(session, object, array.data(), array.count(), &copy), "C_CopyObject",
                  errorcode::OBJECT_FAILED, &session);
}

CK_RV PKCS11Client::getAttributeValue(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                                      AttributeTemplate& request, AttributeTemplate& result) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getAttributeValue()");
    CK_C_GetAttributeValue read = function(&CK_FUNCTION_LIST::C_GetAttributeValue, "C_GetAttributeValue");
    CallLock lock(*this);
    return getAttribute(read, session, object, request, result);
}

CK_RV PKCS11Client::getAttribute(CK_C_GetAttributeValue read, CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                                 AttributeTemplate& request, AttributeTemplate& values) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::getAttribute()");
    if (request.size() == 0) return CKR_OK;
    AttributeArray array(request);
    const CK_RV rv = result(read(session, object, array.data(), array.count()), "C_GetAttributeValue",
                            errorcode::OBJECT_FAILED, &session, {CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID});
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
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::setAttributeValue()");
    CK_C_SetAttributeValue set = function(&CK_FUNCTION_LIST::C_SetAttributeValue, "C_SetAttributeValue");
    if (attributes.size() == 0) return CKR_OK;
    CallLock lock(*this);
    AttributeArray array(attributes);
    return result(set(session, object, array.data(), array.count()), "C_SetAttributeValue",
                  errorcode::OBJECT_FAILED, &session);
}

CK_RV PKCS11Client::generateKey(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism,
                                AttributeTemplate& attributes, CK_OBJECT_HANDLE& key) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::generateKey()");
    CK_C_GenerateKey generate = function(&CK_FUNCTION_LIST::C_GenerateKey, "C_GenerateKey");
    CallLock lock(*this);
    CK_MECHANISM method = mechanismOf(mechanism);
    AttributeArray array(attributes);
    return result(generate(session, &method, array.data(), array.count(), &key), "C_GenerateKey",
                  errorcode::KEYGEN_FAILED, &session);
}

CK_RV PKCS11Client::generateKeyPair(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism,
                                    AttributeTemplate& publicTemplate, AttributeTemplate& privateTemplate,
                                    CK_OBJECT_HANDLE& publicKey, CK_OBJECT_HANDLE& privateKey) {
    ZEP_TRACE(MODULE_TRACE, "PKCS11Client::generateKeyPair()");
    CK_C_GenerateKeyPair generate = function(&CK_FUNCTION_LIST::C_GenerateKeyPair, "C_GenerateKeyPair");
    CallLock lock(*this);
    CK_MECHANISM method = mechanismOf(mechanism);
    AttributeArray publicArray(publicTemplate);
    AttributeArray privateArray(privateTemplate);
    return result(generate(session, &method, publicArray.data(), publicArray.count(), privateArray.data(),
                           privateArray.count(), &publicKey, &privateKey),
                  "C_GenerateKeyPair", errorcode::KEYGEN_FAILED, &session);
}
