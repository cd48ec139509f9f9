// Error codes of the module's exceptions.
#ifndef MERVIL7_ERRORCODES_H
#define MERVIL7_ERRORCODES_H

namespace errorcode {
// Bad argument: factory argument, incompatible iterator, key type change.
constexpr long BAD_ARGUMENT = 571002;
// List index out of range (thrown as ZEPException).
constexpr long INDEX_OUT_OF_RANGE = 571003;
// Cryptoki function missing, or an unsupported key class, type, algorithm or format.
constexpr long NOT_SUPPORTED = 571004;
// Client not bound, or loading the library or its function list failed.
constexpr long NOT_BOUND = 577003;
constexpr long TOKEN_LABEL_INVALID = 577004;
constexpr long KEY_NOT_FOUND = 577005;
constexpr long KEY_CLASS_INVALID = 577006;
// Login required, or token write protected.
constexpr long ACCESS_DENIED = 577007;
constexpr long TOKEN_NOT_PRESENT = 577008;
// Duplicate item on insert.
constexpr long DUPLICATE_LABEL = 577009;
constexpr long DUPLICATE_SIGNATURE = 577010;
constexpr long DUPLICATE_TOKEN_KEY = 577011;
constexpr long DUPLICATE_UNSIGNED_CERTIFICATE = 577012;
constexpr long DUPLICATE_ISSUER_AND_SERIAL = 577013;
// A Cryptoki function failed, by function group.
constexpr long GENERAL_FAILED = 577901;
constexpr long SLOT_FAILED = 577902;
constexpr long TOKEN_FAILED = 577903;
constexpr long SESSION_FAILED = 577904;
constexpr long OBJECT_FAILED = 577905;
constexpr long ENCRYPT_FAILED = 577906;
constexpr long DECRYPT_FAILED = 577907;
constexpr long DIGEST_FAILED = 577908;
constexpr long SIGN_FAILED = 577909;
constexpr long VERIFY_FAILED = 577910;
constexpr long KEYGEN_FAILED = 577911;
constexpr long RANDOM_FAILED = 577912;
}  // namespace errorcode

// Trace component of the module's records.
constexpr unsigned int MODULE_TRACE = 0x200;

#endif
