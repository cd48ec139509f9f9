// RSA keys in their standard DER containers, with their big-integer
// components as ZEPBuffers of big-endian INTEGER content octets:
// ZEPSubjectPublicKeyInfo, an X.509 SubjectPublicKeyInfo whose BIT STRING
// holds a PKCS#1 RSAPublicKey, and ZEPPrivateKeyInfo, a PKCS#8
// PrivateKeyInfo whose OCTET STRING holds a PKCS#1 RSAPrivateKey.
//
// Each object keeps the decoded RSA structure as its working copy: the
// component getters and setters use it, getDER writes it back into the key
// field, and loading DER or another object (copies go through the source's
// DER) decodes it from the key field. Every failure is an exception
// (ZEPASNException); on a decoding failure the object keeps its previous
// contents.
#ifndef MERVIL7_ZEPSUBJECTPUBLICKEYINFO_H
#define MERVIL7_ZEPSUBJECTPUBLICKEYINFO_H

#include <algorithm>
#include <cstddef>

#include "asn/privatekeyinfo.h"
#include "asn/rsaprivatekey.h"
#include "asn/rsapublickey.h"
#include "asn/subjectpublickeyinfo.h"
#include "zepbuffer.h"

// A string literal as a template argument: the class name in trace labels.
template <size_t N>
struct RSAKeyClassName {
    constexpr RSAKeyClassName(const char (&name)[N]) { std::copy_n(name, N, text); }
    char text[N];
};

// What the public and the private key share: a toolkit container holding
// an RSA structure `Key`, traced under the labels "<ClassName>::<operation>()".
template <typename Container, typename Key, RSAKeyClassName ClassName>
class RSAKeyInfo : public Container {
public:
    // Empty structure; `security` is the flag of the outer SEQUENCE (public
    // key) or of the privateKey OCTET STRING (private key).
    explicit RSAKeyInfo(int security = 0);
    // setDER(der).
    explicit RSAKeyInfo(const ZEPBuffer& der);
    // Copies and assignments load the other object's DER and decode its
    // key field: component changes the other made without a getDER since
    // stay behind. Assigning a private key first sets the version to 0 and
    // empties the attributes.
    RSAKeyInfo(const RSAKeyInfo& other);
    explicit RSAKeyInfo(const Container& other);
    RSAKeyInfo& operator=(const RSAKeyInfo& other);
    RSAKeyInfo& operator=(const Container& other);

    // Writes the RSA structure into the key field and returns the DER of
    // the whole container.
    ZEPBuffer getDER();
    // Decodes the container and then its key field as the RSA structure.
    void setDER(const ZEPBuffer& der);

    AlgorithmIdentifier& getAlgorithm(AlgorithmIdentifier& out) const;
    void setAlgorithm(const AlgorithmIdentifier& algorithm);
    // Algorithm OID = arcs, parameters = NULL.
    void setAlgorithm(const unsigned long* arcs, unsigned count);

    // The component getters give an empty buffer unless the algorithm is
    // rsaEncryption. They return the INTEGER's content octets, so a value
    // whose top bit is set keeps its leading 00; `stripLeadingZeros` drops
    // all leading 00 octets, giving the unsigned magnitude.
    ZEPBuffer getModulus(bool stripLeadingZeros) const;
    // From an unsigned big-endian magnitude: 00 is put in front when the
    // top bit is set, so that the INTEGER stays positive; otherwise the
    // bytes are stored as they are.
    void setModulus(const ZEPBuffer& magnitude);
    ZEPBuffer getPublicExponent() const;
    // The other component setters store the bytes as the INTEGER's content
    // unchanged, leading 00 or FF octets included. An empty buffer is
    // refused.
    void setPublicExponent(const ZEPBuffer& value);

protected:
    // Traced access to one component of the RSA structure.
    template <RSAKeyClassName Operation>
    ZEPBuffer getComponent(asn_integer Key::*component) const;
    template <RSAKeyClassName Operation>
    void setComponent(asn_integer Key::*component, const ZEPBuffer& value);

private:
    void load(const ZEPBuffer& der);
    bool isRSA() const;

    Key rsaKey_;
};

// The private key's flag goes to its key octets; the container keeps 0.
template <>
RSAKeyInfo<PrivateKeyInfo, RSAPrivateKey, "ZEPPrivateKeyInfo">::RSAKeyInfo(int security);

class ZEPSubjectPublicKeyInfo : public RSAKeyInfo<SubjectPublicKeyInfo, RSAPublicKey, "ZEPSubjectPublicKeyInfo"> {
public:
    using RSAKeyInfo::RSAKeyInfo;
    using RSAKeyInfo::operator=;
};

// The container's version is 0 and it has no attributes unless loaded ones;
// getDER sets the version to 0.
class ZEPPrivateKeyInfo : public RSAKeyInfo<PrivateKeyInfo, RSAPrivateKey, "ZEPPrivateKeyInfo"> {
public:
    using RSAKeyInfo::RSAKeyInfo;
    using RSAKeyInfo::operator=;

    ZEPBuffer getPrivateExponent() const;
    void setPrivateExponent(const ZEPBuffer& value);
    ZEPBuffer getPrime1() const;
    void setPrime1(const ZEPBuffer& value);
    ZEPBuffer getPrime2() const;
    void setPrime2(const ZEPBuffer& value);
    ZEPBuffer getExponent1() const;
    void setExponent1(const ZEPBuffer& value);
    ZEPBuffer getExponent2() const;
    void setExponent2(const ZEPBuffer& value);
    ZEPBuffer getCoefficient() const;
    void setCoefficient(const ZEPBuffer& value);
};

#endif
