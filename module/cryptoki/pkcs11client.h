// The one binding of a Cryptoki library: loads it, binds its function list,
// initialises it with the best locking arrangement it accepts, and wraps
// every Cryptoki function the module uses. Wrappers turn unexpected return
// values into ZEPPKCS11Exception and serialise calls while the locking switch
// is on.
#ifndef MERVIL7_PKCS11CLIENT_H
#define MERVIL7_PKCS11CLIENT_H

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "attributetemplate.h"
#include "cryptoki.h"
#include "errorcodes.h"
#include "sessionlocks.h"
#include "zepbuffer.h"
#include "zepexception.h"
#include "zepmutex.h"
#include "zepstring.h"
#include "zeptrace.h"

// A function-list entry with its name and the error code of its failures.
#define CRYPTOKI_FUNCTION(function, family) \
    PKCS11Client::Cryptoki<CK_##function> { &CK_FUNCTION_LIST::function, #function, family }

class PKCS11Client {
public:
    // Loads, binds and initialises the library; throws when any step fails.
    explicit PKCS11Client(const char* libraryName);
    // Finalises and unloads the library.
    ~PKCS11Client();
    PKCS11Client(const PKCS11Client&) = delete;
    PKCS11Client& operator=(const PKCS11Client&) = delete;

    void connect(const char* libraryName);
    void disconnect();
    CK_RV initialize(bool withArguments);
    CK_RV finalize();

    bool isBound() const { return library_ != nullptr && functions_ != nullptr; }
    // True while the client serialises its Cryptoki calls itself.
    bool isLockingOn() const { return lockingSwitch_; }
    // How many writes (object creation, copy, change and destruction, key
    // generation, token and PIN initialisation) the client has made on any
    // token of the library; each counts once its call has returned.
    uint64_t writeCount() const { return writes_; }
    // How many Cryptoki calls the client has made whose answer it judged:
    // all but a search's last C_FindObjects when it delivered nothing, a
    // one-call output's CKR_BUFFER_TOO_SMALL and the C_FindObjectsFinal that
    // ends a failed search. Benchmarks report it per operation.
    uint64_t callCount() const { return calls_; }

    // General, slot and token functions.
    CK_RV getInfo(CK_INFO* info);
    CK_RV getSlotList(std::vector<CK_SLOT_ID>& slots, bool tokenPresent);
    CK_RV getSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info);
    CK_RV getTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info);
    CK_RV getMechanismList(CK_SLOT_ID slot, std::vector<CK_MECHANISM_TYPE>& mechanisms);
    CK_RV getMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO* info);
    CK_RV initToken(CK_SLOT_ID slot, const ZEPBuffer& soPin, const ZEPString& label);

    // Session and login functions. Handles are passed by reference: a failure
    // that shows the session is gone clears the caller's handle.
    CK_RV openSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_SESSION_HANDLE& session);
    CK_RV closeAllSessions(CK_SLOT_ID slot);
    CK_RV closeSession(CK_SESSION_HANDLE& session);
    CK_RV initPin(CK_SESSION_HANDLE& session, const ZEPBuffer& pin);
    CK_RV setPin(CK_SESSION_HANDLE& session, const ZEPBuffer& oldPin, const ZEPBuffer& newPin);
    CK_RV getSessionInfo(CK_SESSION_HANDLE& session, CK_SESSION_INFO* info);
    CK_RV login(CK_SESSION_HANDLE& session, CK_USER_TYPE userType, const ZEPBuffer& pin);
    CK_RV logout(CK_SESSION_HANDLE& session);
    CK_RV getOperationState(CK_SESSION_HANDLE& session, ZEPBuffer& state);
    CK_RV setOperationState(CK_SESSION_HANDLE& session, const ZEPBuffer& state);

    // Object search in three steps. They take no lock of their own: use the
    // composite findObjects below, which holds the lock across all three.
    CK_RV findObjectsInit(CK_SESSION_HANDLE& session, AttributeTemplate& search);
    // Appends every handle the search still delivers, fetched in batches.
    CK_RV findObjects(CK_SESSION_HANDLE& session, std::vector<CK_OBJECT_HANDLE>& objects);
    CK_RV findObjectsFinal(CK_SESSION_HANDLE& session);
    // Appends the handles of all objects matching `search`.
    CK_RV findObjects(CK_SESSION_HANDLE& session, AttributeTemplate& search, std::vector<CK_OBJECT_HANDLE>& objects);

    // An empty template creates nothing and leaves `object` 0.
    CK_RV createObject(CK_SESSION_HANDLE& session, AttributeTemplate& attributes, CK_OBJECT_HANDLE& object);
    CK_RV destroyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object);
    CK_RV copyObject(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, AttributeTemplate& attributes,
                     CK_OBJECT_HANDLE& copy);
    // Reads the attributes named in `request` into `result`: an empty request
    // buffer asks for a value of unknown size, which a second pass fetches.
    // Sensitive and unknown attributes are left out; their return values
    // (CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID) are returned.
    CK_RV getAttributeValue(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, AttributeTemplate& request,
                            AttributeTemplate& result);
    // The length of one attribute's value in a single call, 0 when the
    // token has none to give (CKR_ATTRIBUTE_SENSITIVE and
    // CKR_ATTRIBUTE_TYPE_INVALID are returned, not thrown).
    CK_RV getAttributeLength(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                             CK_ULONG& length);
    // An empty template changes nothing and calls nothing.
    CK_RV setAttributeValue(CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object, AttributeTemplate& attributes);

    // Key generation with a mechanism that takes no parameter.
    CK_RV generateKey(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism, AttributeTemplate& attributes,
                      CK_OBJECT_HANDLE& key);
    CK_RV generateKeyPair(CK_SESSION_HANDLE& session, CK_MECHANISM_TYPE mechanism, AttributeTemplate& publicTemplate,
                          AttributeTemplate& privateTemplate, CK_OBJECT_HANDLE& publicKey,
                          CK_OBJECT_HANDLE& privateKey);

    // Cryptographic operations. Outputs are sized by a first call and replace
    // the output buffer's contents; only the random calls take the client
    // lock: the caller owns the session's operation state. The one-shot
    // encrypt, decrypt and sign take the output length when the caller knows
    // it (`expected` not 0): one call into a buffer that long, whose
    // CKR_BUFFER_TOO_SMALL is returned, output untouched, for the caller to
    // size the output by the two calls.
    CK_RV encryptInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV encryptUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output);
    CK_RV encrypt(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected = 0);
    CK_RV encryptFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output);
    CK_RV decryptInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV decrypt(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected = 0);
    CK_RV decryptUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output);
    CK_RV decryptFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output);
    CK_RV signInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV signUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input);
    CK_RV sign(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output, CK_ULONG expected = 0);
    CK_RV signFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output);
    CK_RV verifyInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV verifyUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input);
    // A signature that does not match is returned (CKR_SIGNATURE_INVALID,
    // CKR_SIGNATURE_LEN_RANGE), not thrown.
    CK_RV verify(CK_SESSION_HANDLE& session, const ZEPBuffer& data, const ZEPBuffer& signature);
    CK_RV verifyFinal(CK_SESSION_HANDLE& session, const ZEPBuffer& signature);
    CK_RV digestInit(CK_SESSION_HANDLE& session, CK_MECHANISM* mechanism);
    CK_RV digestUpdate(CK_SESSION_HANDLE& session, const ZEPBuffer& input);
    CK_RV digest(CK_SESSION_HANDLE& session, const ZEPBuffer& input, ZEPBuffer& output);
    CK_RV digestFinal(CK_SESSION_HANDLE& session, ZEPBuffer& output);
    // A token without a generator or without seeding is answered by return
    // value (CKR_RANDOM_SEED_NOT_SUPPORTED, CKR_RANDOM_NO_RNG), not thrown.
    CK_RV seedRandom(CK_SESSION_HANDLE& session, const ZEPBuffer& seed);
    // Fills `output` in place: size it to the number of bytes wanted.
    CK_RV generateRandom(CK_SESSION_HANDLE& session, ZEPBuffer& output);

    // Holds the lock that keeps call sequences on `session` apart; taken by
    // callers that run an operation of several calls on a shared session.
    [[nodiscard]] std::unique_lock<std::mutex> lockSession(CK_SESSION_HANDLE session) {
        return sessionLocks_.lock(session);
    }

private:
    // Holds the client mutex while the locking switch is on (read once).
    class CallLock {
    public:
        explicit CallLock(PKCS11Client& client) {
            if (client.lockingSwitch_) locker_.emplace(client.mutex_);
        }

    private:
        std::optional<ZEPMutexLocker> locker_;
    };

    // A Cryptoki function of the list with its name and the error code of
    // its failures.
    template <typename Function>
    struct Cryptoki {
        Function CK_FUNCTION_LIST::*entry;
        const char* name;
        long family;
    };

    enum class Locking { client, none };

    // How a call is made and its return value taken: CKR_OK and the accepted
    // values are returned; any other is thrown, after clearing `*session`
    // (when given) if the value shows the session is gone. The client mutex
    // is held around the call unless `locking` is none.
    struct Outcome {
        CK_SESSION_HANDLE* session = nullptr;
        std::array<CK_RV, 2> accepted = {CKR_OK, CKR_OK};
        Locking locking = Locking::client;
    };

    // The one way to a Cryptoki function: opens the trace bracket (unless
    // `label` is null, for a call inside another wrapper's bracket), checks
    // that the client is bound and the library has the function, holds the
    // client mutex while the locking switch is on (unless `locking` is none),
    // and runs `body` with the function.
    template <typename Function, typename Body>
    CK_RV run(const char* label, Cryptoki<Function> function, Locking locking, Body body) {
        std::optional<ZEPTraceBracket> trace;
        if (label) trace.emplace(MODULE_TRACE, ZEP_HERE, label);
        if (!isBound()) throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_BOUND, "");
        Function f = functions_->*function.entry;
        if (!f)
            throw ZEPPKCS11Exception(ZEP_HERE, errorcode::NOT_SUPPORTED,
                                     ZEPString(function.name) + " is not supported by this cryptoki library");
        std::optional<CallLock> lock;
        if (locking == Locking::client) lock.emplace(*this);
        return body(f);
    }

    // run() for a single call, made and judged as `outcome` says.
    template <typename Function, typename... Args>
    CK_RV call(const char* label, Cryptoki<Function> function, Outcome outcome, Args... args) {
        return run(label, function, outcome.locking,
                   [&](Function f) { return check(f(args...), function.name, function.family, outcome); });
    }

    // What Cryptoki is given for a data buffer, input or output: never null,
    // since PKCS#11 reads a null data pointer as a length query (or refuses
    // it), so an empty buffer is passed as a valid pointer to no bytes.
    static CK_BYTE* dataOf(const ZEPBuffer& buffer);

    // Ends a search that failed, whatever the library answers, so that it
    // cannot refuse the next search on the same session.
    void abandonSearch(CK_SESSION_HANDLE session) noexcept;

    // Counts the call; returns `rv` when `outcome` accepts it, otherwise
    // applies the session rule and throws `family` with the function's name.
    CK_RV check(CK_RV rv, const char* name, long family, const Outcome& outcome);

    // The two-call protocol of list functions: asks for the count, then for
    // the items, and appends what the second call delivered.
    template <typename Item, typename Function, typename Call>
    CK_RV appendList(const char* label, Cryptoki<Function> function, std::vector<Item>& items, Call call);

    // The two-call protocol of output data: asks for the length, then for
    // the bytes, which replace `output` once the second call succeeded. The
    // second call always gets a real buffer, so an output of length 0 is
    // made, not asked about again. `call`(function, output pointer, length
    // pointer) makes one call. An `expected` length other than 0 stands in
    // for the first call's answer; a CKR_BUFFER_TOO_SMALL for it is returned.
    template <typename Function, typename Call>
    CK_RV sizedOutput(const char* label, Cryptoki<Function> function, CK_SESSION_HANDLE& session, ZEPBuffer& output,
                      Call call, CK_ULONG expected = 0);

    // One C_GetAttributeValue pass over `request`, storing what it fetched
    // in `values`; a second pass follows for the lengths it learned.
    CK_RV getAttribute(CK_C_GetAttributeValue read, CK_SESSION_HANDLE& session, CK_OBJECT_HANDLE object,
                       AttributeTemplate& request, AttributeTemplate& values);

    void* library_ = nullptr;
    bool lockingSwitch_ = true;
    ZEPMutex mutex_;
    CK_FUNCTION_LIST* functions_ = nullptr;
    SessionLocks sessionLocks_;
    std::atomic<uint64_t> writes_{0};
    std::atomic<uint64_t> calls_{0};
};

#endif
