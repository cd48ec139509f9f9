#include "zepsubjectpublickeyinfo.h"

#include <array>

#include "asn/asn_null.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// Trace component of the RSA key structures.
constexpr unsigned int RSA_KEY_TRACE = 1;

// "<ClassName>::<Operation>", built at compile time so that trace records
// can point at it.
template <RSAKeyClassName ClassName, RSAKeyClassName Operation>
constexpr auto traceLabel = [] {
    std::array<char, sizeof ClassName.text + sizeof Operation.text + 1> label{};
    char* end = std::copy_n(ClassName.text, sizeof ClassName.text - 1, label.data());
    end = std::copy_n("::", 2, end);
    std::copy_n(Operation.text, sizeof Operation.text, end);
    return label;
}();

// Throws the ASN.1 result code of a failed call, with no message: the
// values involved may be key material. The line is the caller's
// (__builtin_LINE, which std::source_location is built on, also serves
// compilers whose library lacks that class).
void check(int rc, int line = __builtin_LINE()) {
    if (rc != ASN_OK) throw ZEPASNException(ZEP_FILE_BASE, line, rc, ZEPString());
}

// Copies an identifier through its DER, so that `to` may be of a type
// derived from AlgorithmIdentifier.
void copyAlgorithm(const AlgorithmIdentifier& from, AlgorithmIdentifier& to) {
    buffer_t der;
    check(from.write(der));
    check(to.read(der.view()));
}

// Where each container keeps its algorithm and its key.
template <typename Container>
struct KeyField;

template <>
struct KeyField<SubjectPublicKeyInfo> {
    static constexpr AlgorithmIdentifier SubjectPublicKeyInfo::*algorithm = &SubjectPublicKeyInfo::algorithm;

    // The BIT STRING's bits, rounded up to whole bytes.
    static r_buffer_t get(const SubjectPublicKeyInfo& info) { return info.subjectPublicKey.value_view(); }
    static void set(SubjectPublicKeyInfo& info, const ZEPBuffer& key) { check(info.subjectPublicKey.set_value(key)); }
    static void prepareAssignment(SubjectPublicKeyInfo&) {}
};

template <>
struct KeyField<PrivateKeyInfo> {
    static constexpr AlgorithmIdentifier PrivateKeyInfo::*algorithm = &PrivateKeyInfo::privateKeyAlgorithm;

    static r_buffer_t get(const PrivateKeyInfo& info) { return info.privateKey.content_view(); }
    static void set(PrivateKeyInfo& info, const ZEPBuffer& key) {
        check(info.privateKey.set_value(key));
        check(info.version.set_value(0L));
    }
    // An assignment starts from version 0 and no attributes.
    static void prepareAssignment(PrivateKeyInfo& info) {
        check(info.version.set_value(0L));
        info.attributes.reset();
    }
};

}  // namespace

#define RSA_KEY_TRACE_BRACKET(operation) ZEP_TRACE(RSA_KEY_TRACE, (traceLabel<ClassName, operation>.data()))

template <typename Container, typename Key, RSAKeyClassName ClassName>
RSAKeyInfo<Container, Key, ClassName>::RSAKeyInfo(int security) : Container(security) {
    RSA_KEY_TRACE_BRACKET("ctor()");
}

template <>
RSAKeyInfo<PrivateKeyInfo, RSAPrivateKey, "ZEPPrivateKeyInfo">::RSAKeyInfo(int security)
    : PrivateKeyInfo(0, security) {
    ZEP_TRACE(RSA_KEY_TRACE, "ZEPPrivateKeyInfo::ctor()");
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
RSAKeyInfo<Container, Key, ClassName>::RSAKeyInfo(const ZEPBuffer& der) {
    RSA_KEY_TRACE_BRACKET("ctor()");
    load(der);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
RSAKeyInfo<Container, Key, ClassName>::RSAKeyInfo(const RSAKeyInfo& other) : Container() {
    RSA_KEY_TRACE_BRACKET("ctor()");
    load(ZEPASNUtility::getDEREncoding(other));
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
RSAKeyInfo<Container, Key, ClassName>::RSAKeyInfo(const Container& other) {
    RSA_KEY_TRACE_BRACKET("ctor()");
    load(ZEPASNUtility::getDEREncoding(other));
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
auto RSAKeyInfo<Container, Key, ClassName>::operator=(const RSAKeyInfo& other) -> RSAKeyInfo& {
    return *this = static_cast<const Container&>(other);
}

// Self-assignment too reloads the key field from the container.
template <typename Container, typename Key, RSAKeyClassName ClassName>
auto RSAKeyInfo<Container, Key, ClassName>::operator=(const Container& other) -> RSAKeyInfo& {
    RSA_KEY_TRACE_BRACKET("operator=()");
    KeyField<Container>::prepareAssignment(*this);
    load(ZEPASNUtility::getDEREncoding(other));
    return *this;
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
ZEPBuffer RSAKeyInfo<Container, Key, ClassName>::getDER() {
    RSA_KEY_TRACE_BRACKET("getDER()");
    KeyField<Container>::set(*this, ZEPASNUtility::getDEREncoding(rsaKey_));
    return ZEPASNUtility::getDEREncoding(*this);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::setDER(const ZEPBuffer& der) {
    RSA_KEY_TRACE_BRACKET("setDER()");
    load(der);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
AlgorithmIdentifier& RSAKeyInfo<Container, Key, ClassName>::getAlgorithm(AlgorithmIdentifier& out) const {
    RSA_KEY_TRACE_BRACKET("getAlgorithm()");
    copyAlgorithm(this->*KeyField<Container>::algorithm, out);
    return out;
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::setAlgorithm(const AlgorithmIdentifier& algorithm) {
    RSA_KEY_TRACE_BRACKET("setAlgorithm()");
    copyAlgorithm(algorithm, this->*KeyField<Container>::algorithm);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::setAlgorithm(const unsigned long* arcs, unsigned count) {
    RSA_KEY_TRACE_BRACKET("setAlgorithm()");
    AlgorithmIdentifier& algorithm = this->*KeyField<Container>::algorithm;
    asn_null null;
    buffer_t nullDER;
    check(null.write(nullDER));
    check(algorithm.parameters.read(nullDER.view()));
    check(algorithm.algorithm.set_value(arcs, count));
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
ZEPBuffer RSAKeyInfo<Container, Key, ClassName>::getModulus(bool stripLeadingZeros) const {
    RSA_KEY_TRACE_BRACKET("getModulus()");
    ZEPBuffer modulus;
    if (isRSA())
        check(stripLeadingZeros ? rsaKey_.modulus.get_unsigned(modulus) : rsaKey_.modulus.get_value(modulus));
    return modulus;
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::setModulus(const ZEPBuffer& magnitude) {
    RSA_KEY_TRACE_BRACKET("setModulus()");
    static const unsigned char positive = 0x00;
    ZEPBuffer content;
    if (!magnitude.empty() && (magnitude.getValue()[0] & 0x80)) content.assign(1, &positive);
    content.append(magnitude);
    check(rsaKey_.modulus.set_value(content));
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
ZEPBuffer RSAKeyInfo<Container, Key, ClassName>::getPublicExponent() const {
    return getComponent<"getPublicExponent()">(&Key::publicExponent);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::setPublicExponent(const ZEPBuffer& value) {
    setComponent<"setPublicExponent()">(&Key::publicExponent, value);
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
template <RSAKeyClassName Operation>
ZEPBuffer RSAKeyInfo<Container, Key, ClassName>::getComponent(asn_integer Key::*component) const {
    RSA_KEY_TRACE_BRACKET(Operation);
    ZEPBuffer value;
    if (isRSA()) check((rsaKey_.*component).get_value(value));
    return value;
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
template <RSAKeyClassName Operation>
void RSAKeyInfo<Container, Key, ClassName>::setComponent(asn_integer Key::*component, const ZEPBuffer& value) {
    RSA_KEY_TRACE_BRACKET(Operation);
    check((rsaKey_.*component).set_value(value));
}

// Decodes everything into scratch objects first, so that a failure leaves
// this object as it was; the same bytes then load into it without failing.
template <typename Container, typename Key, RSAKeyClassName ClassName>
void RSAKeyInfo<Container, Key, ClassName>::load(const ZEPBuffer& der) {
    Container container;
    Key key;
    ZEPASNUtility::setDEREncoding(der, container);
    ZEPASNUtility::setDEREncoding(KeyField<Container>::get(container), key);
    ZEPASNUtility::setDEREncoding(der, *this);
    check(rsaKey_.assign(key));
}

template <typename Container, typename Key, RSAKeyClassName ClassName>
bool RSAKeyInfo<Container, Key, ClassName>::isRSA() const {
    return (this->*KeyField<Container>::algorithm).algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT);
}

template class RSAKeyInfo<SubjectPublicKeyInfo, RSAPublicKey, "ZEPSubjectPublicKeyInfo">;
template class RSAKeyInfo<PrivateKeyInfo, RSAPrivateKey, "ZEPPrivateKeyInfo">;

#define RSA_PRIVATE_KEY_COMPONENT(Name, member)                                   \
    ZEPBuffer ZEPPrivateKeyInfo::get##Name() const {                              \
        return getComponent<"get" #Name "()">(&RSAPrivateKey::member);            \
    }                                                                             \
    void ZEPPrivateKeyInfo::set##Name(const ZEPBuffer& value) {                   \
        setComponent<"set" #Name "()">(&RSAPrivateKey::member, value);            \
    }

RSA_PRIVATE_KEY_COMPONENT(PrivateExponent, privateExponent)
RSA_PRIVATE_KEY_COMPONENT(Prime1, prime1)
RSA_PRIVATE_KEY_COMPONENT(Prime2, prime2)
RSA_PRIVATE_KEY_COMPONENT(Exponent1, exponent1)
RSA_PRIVATE_KEY_COMPONENT(Exponent2, exponent2)
RSA_PRIVATE_KEY_COMPONENT(Coefficient, coefficient)
