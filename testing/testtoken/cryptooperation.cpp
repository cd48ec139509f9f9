#include "cryptooperation.h"

#include "arguments.h"
#include "messagedigest.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace testtoken {

namespace {

// What an operation of a kind asks of the mechanism's flags and of its key.
struct KindRules {
    CK_FLAGS flag;
    CK_OBJECT_CLASS keyClass;
    CK_ATTRIBUTE_TYPE usage;
};

KindRules rulesOf(OperationKind kind) {
    switch (kind) {
        case OperationKind::encrypt:
            return {CKF_ENCRYPT, CKO_PUBLIC_KEY, CKA_ENCRYPT};
        case OperationKind::decrypt:
            return {CKF_DECRYPT, CKO_PRIVATE_KEY, CKA_DECRYPT};
        case OperationKind::sign:
            return {CKF_SIGN, CKO_PRIVATE_KEY, CKA_SIGN};
        case OperationKind::verify:
            return {CKF_VERIFY, CKO_PUBLIC_KEY, CKA_VERIFY};
        case OperationKind::digest:
            break;
    }
    return {CKF_DIGEST, CKO_VENDOR_DEFINED, CKA_VENDOR_DEFINED};
}

// A signature mechanism the token can do: its family and the digest a combined
// mechanism applies first.
enum class Family { rsa, pss, ecdsa };
struct SignatureMechanism {
    CK_MECHANISM_TYPE mechanism;
    Family family;
    std::optional<CK_MECHANISM_TYPE> digest;
};

const SignatureMechanism* signatureMechanism(CK_MECHANISM_TYPE mechanism) {
    static const SignatureMechanism table[] = {
        {CKM_RSA_PKCS, Family::rsa, std::nullopt}, {CKM_MD5_RSA_PKCS, Family::rsa, CKM_MD5},
        {CKM_SHA1_RSA_PKCS, Family::rsa, CKM_SHA_1}, {CKM_SHA224_RSA_PKCS, Family::rsa, CKM_SHA224},
        {CKM_SHA256_RSA_PKCS, Family::rsa, CKM_SHA256}, {CKM_SHA384_RSA_PKCS, Family::rsa, CKM_SHA384},
        {CKM_SHA512_RSA_PKCS, Family::rsa, CKM_SHA512}, {CKM_RSA_PKCS_PSS, Family::pss, std::nullopt},
        {CKM_SHA224_RSA_PKCS_PSS, Family::pss, CKM_SHA224}, {CKM_SHA256_RSA_PKCS_PSS, Family::pss, CKM_SHA256},
        {CKM_SHA384_RSA_PKCS_PSS, Family::pss, CKM_SHA384}, {CKM_SHA512_RSA_PKCS_PSS, Family::pss, CKM_SHA512},
        {CKM_ECDSA, Family::ecdsa, std::nullopt}, {CKM_ECDSA_SHA256, Family::ecdsa, CKM_SHA256},
        {CKM_ECDSA_SHA384, Family::ecdsa, CKM_SHA384}, {CKM_ECDSA_SHA512, Family::ecdsa, CKM_SHA512},
    };
    for (const SignatureMechanism& entry : table)
        if (entry.mechanism == mechanism) return &entry;
    return nullptr;
}

// The digest a combined signature mechanism applies first.
std::optional<CK_MECHANISM_TYPE> digestBefore(CK_MECHANISM_TYPE mechanism) {
    const SignatureMechanism* found = signatureMechanism(mechanism);
    return found != nullptr ? found->digest : std::nullopt;
}

bool isFamily(CK_MECHANISM_TYPE mechanism, Family family) {
    const SignatureMechanism* found = signatureMechanism(mechanism);
    return found != nullptr && found->family == family;
}

// The field length of the curve that CKA_EC_PARAMS name: P-256, P-384 or P-521.
std::size_t fieldLengthOf(const AttributeValue& ecParams) {
    const std::map<Bytes, std::size_t> curves = {
        {{0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07}, 32},
        {{0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x22}, 48},
        {{0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x23}, 66}};
    const auto curve = curves.find(ecParams);
    if (curve == curves.end()) {
        throw CryptokiError(CKR_KEY_TYPE_INCONSISTENT);
    }
    return curve->second;
}

Bytes ecdsaSign(std::size_t half, const Bytes& data) {
    const std::size_t kept = std::min(data.size(), half);
    Bytes signature(half - kept, 0);
    signature.insert(signature.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(kept));
    for (std::size_t i = 0; i < half; ++i) {
        signature.push_back(static_cast<CK_BYTE>(~signature[i]));
    }
    return signature;
}

bool canDo(OperationKind kind, CK_MECHANISM_TYPE mechanism) {
    switch (kind) {
        case OperationKind::digest:
            return MessageDigest::isDigest(mechanism);
        case OperationKind::sign:
        case OperationKind::verify:
            return signatureMechanism(mechanism) != nullptr;
        default:
            return mechanism == CKM_RSA_PKCS;
    }
}

// The digest an RSA-PSS parameter names: one the token knows, paired with its
// own MGF1 and, for a combined mechanism, the mechanism's own digest.
CK_MECHANISM_TYPE pssDigestOf(const CK_MECHANISM& mechanism) {
    CK_RSA_PKCS_PSS_PARAMS parameters;
    if (mechanism.pParameter == nullptr || mechanism.ulParameterLen != sizeof parameters) {
        throw CryptokiError(CKR_MECHANISM_PARAM_INVALID);
    }
    std::memcpy(&parameters, mechanism.pParameter, sizeof parameters);
    const std::optional<CK_MECHANISM_TYPE> combined = digestBefore(mechanism.mechanism);
    if (!MessageDigest::isDigest(parameters.hashAlg) || parameters.mgf != MessageDigest::mgf1Of(parameters.hashAlg) ||
        (combined && *combined != parameters.hashAlg)) {
        throw CryptokiError(CKR_MECHANISM_PARAM_INVALID);
    }
    return parameters.hashAlg;
}

std::optional<CK_ULONG> ulongOf(const TokenObject& object, CK_ATTRIBUTE_TYPE type) {
    const AttributeValue* value = object.find(type);
    CK_ULONG number = 0;
    if (value == nullptr || value->size() != sizeof number) {
        return std::nullopt;
    }
    std::memcpy(&number, value->data(), sizeof number);
    return number;
}

// The `attribute` (CKA_MODULUS, CKA_EC_PARAMS) of a key of `keyType` fit for the
// kind's operation.
const AttributeValue& keyValueOf(const TokenObject& key, const KindRules& rules, CK_KEY_TYPE keyType,
                                 CK_ATTRIBUTE_TYPE attribute) {
    const AttributeValue* value = key.find(attribute);
    if (ulongOf(key, CKA_CLASS) != rules.keyClass || ulongOf(key, CKA_KEY_TYPE) != keyType || value == nullptr ||
        value->empty()) {
        throw CryptokiError(CKR_KEY_TYPE_INCONSISTENT);
    }
    const AttributeValue* permitted = key.find(rules.usage);
    if (permitted != nullptr && (permitted->empty() || permitted->front() == CK_FALSE)) {
        throw CryptokiError(CKR_KEY_FUNCTION_NOT_PERMITTED);
    }
    return *value;
}

}  // namespace

CryptoOperation::CryptoOperation(OperationKind kind, const CK_MECHANISM& mechanism, const Token& token,
                                 const TokenObject* key)
    : kind_(kind), mechanism_(mechanism.mechanism) {
    const KindRules rules = rulesOf(kind);
    if ((token.mechanism(mechanism_).flags & rules.flag) == 0 || !canDo(kind, mechanism_)) {
        throw CryptokiError(CKR_MECHANISM_INVALID);
    }
    if (isFamily(mechanism_, Family::pss)) {
        pssDigest_ = pssDigestOf(mechanism);
    } else if (mechanism.pParameter != nullptr || mechanism.ulParameterLen != 0) {
        throw CryptokiError(CKR_MECHANISM_PARAM_INVALID);
    }
    if (kind == OperationKind::digest) {
        return;
    }
    if (isFamily(mechanism_, Family::ecdsa)) {
        ecdsaHalf_ = fieldLengthOf(keyValueOf(required(key), rules, CKK_EC, CKA_EC_PARAMS));
    } else {
        key_.emplace(keyValueOf(required(key), rules, CKK_RSA, CKA_MODULUS));
    }
}

Bytes CryptoOperation::output(const Bytes& data) const {
    const Bytes input = collected(data);
    switch (kind_) {
        case OperationKind::digest:
            return MessageDigest::of(mechanism_, input);
        case OperationKind::sign:
            return ecdsaHalf_ ? ecdsaSign(ecdsaHalf_, signedPart(input)) : key_->sign(signedPart(input));
        case OperationKind::encrypt:
            return key_->encrypt(input);
        case OperationKind::decrypt:
            return key_->decrypt(input);
        case OperationKind::verify:
            break;
    }
    throw std::logic_error("a verification has no output");
}

CK_RV CryptoOperation::verify(const Bytes& data, const Bytes& signature) const {
    if (!ecdsaHalf_) {
        return key_->verify(signedPart(collected(data)), signature);
    }
    if (signature.size() != 2 * ecdsaHalf_) {
        return CKR_SIGNATURE_LEN_RANGE;
    }
    return ecdsaSign(ecdsaHalf_, signedPart(collected(data))) == signature ? CKR_OK : CKR_SIGNATURE_INVALID;
}

Bytes CryptoOperation::signedPart(const Bytes& data) const {
    const std::optional<CK_MECHANISM_TYPE> digest = digestBefore(mechanism_);
    if (ecdsaHalf_) {
        return digest ? MessageDigest::of(*digest, data) : data;
    }
    if (!pssDigest_) {
        return digest ? MessageDigest::digestInfo(*digest, data) : data;
    }
    if (digest) {
        return MessageDigest::of(*digest, data);
    }
    // CKM_RSA_PKCS_PSS signs a digest of the parameter's kind.
    if (data.size() != MessageDigest::of(*pssDigest_, {}).size()) {
        throw CryptokiError(CKR_DATA_LEN_RANGE);
    }
    return data;
}

Bytes CryptoOperation::collected(const Bytes& data) const {
    Bytes all = parts_;
    all.insert(all.end(), data.begin(), data.end());
    return all;
}

}  // namespace testtoken
