#include "kry/zepkrysignaturescheme.h"

#include "asn/rsassapssparams.h"
#include "asn/zepasnoid.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrykey.h"
#include "zeptrace.h"

namespace {

using Maker = ZEPKRYSignatureAlgorithm* (ZEPKRYAlgorithmFactory::*)(const ZEPKRYKey&) const;
using Padding = ZEPKRYSignatureScheme::Padding;

struct SchemeFacts {
    const char* name;
    ZEPKRYDigestType::Id digest;
    Padding padding;
    Maker maker;
    // The signature identifier; RSASSA-PSS has one for all digests.
    const unsigned long* oid;
    unsigned oidCount;
};

// Made on first use, so that the identifiers of other translation units
// are certain to be there.
const SchemeFacts& factsOf(ZEPKRYSignatureScheme::Id id) {
    using Factory = ZEPKRYAlgorithmFactory;
    static const SchemeFacts facts[] = {
        {"SHA-1 with RSA", ZEPKRYDigestType::SHA1, Padding::RSA_PKCS1, &Factory::make_SHA1WithRSA_SignatureAlgorithm,
         ZEPASNOID::VALUE_SHA1WithRSA, ZEPASNOID::VALUE_SHA1WithRSA_COUNT},
        {"SHA-224 with RSA", ZEPKRYDigestType::SHA224, Padding::RSA_PKCS1,
         &Factory::make_SHA224WithRSA_SignatureAlgorithm, ZEPASNOID::VALUE_SHA224WithRSA,
         ZEPASNOID::VALUE_SHA224WithRSA_COUNT},
        {"SHA-256 with RSA", ZEPKRYDigestType::SHA256, Padding::RSA_PKCS1,
         &Factory::make_SHA256WithRSA_SignatureAlgorithm, ZEPASNOID::VALUE_SHA256WithRSA,
         ZEPASNOID::VALUE_SHA256WithRSA_COUNT},
        {"SHA-384 with RSA", ZEPKRYDigestType::SHA384, Padding::RSA_PKCS1,
         &Factory::make_SHA384WithRSA_SignatureAlgorithm, ZEPASNOID::VALUE_SHA384WithRSA,
         ZEPASNOID::VALUE_SHA384WithRSA_COUNT},
        {"SHA-512 with RSA", ZEPKRYDigestType::SHA512, Padding::RSA_PKCS1,
         &Factory::make_SHA512WithRSA_SignatureAlgorithm, ZEPASNOID::VALUE_SHA512WithRSA,
         ZEPASNOID::VALUE_SHA512WithRSA_COUNT},
        {"SHA-256 with RSA-PSS", ZEPKRYDigestType::SHA256, Padding::RSA_PSS,
         &Factory::make_SHA256WithRSAPSS_SignatureAlgorithm, ZEPASNOID::VALUE_RSASSAPSS,
         ZEPASNOID::VALUE_RSASSAPSS_COUNT},
        {"SHA-384 with RSA-PSS", ZEPKRYDigestType::SHA384, Padding::RSA_PSS,
         &Factory::make_SHA384WithRSAPSS_SignatureAlgorithm, ZEPASNOID::VALUE_RSASSAPSS,
         ZEPASNOID::VALUE_RSASSAPSS_COUNT},
        {"SHA-512 with RSA-PSS", ZEPKRYDigestType::SHA512, Padding::RSA_PSS,
         &Factory::make_SHA512WithRSAPSS_SignatureAlgorithm, ZEPASNOID::VALUE_RSASSAPSS,
         ZEPASNOID::VALUE_RSASSAPSS_COUNT},
        {"SHA-256 with ECDSA", ZEPKRYDigestType::SHA256, Padding::ECDSA,
         &Factory::make_ECDSAWithSHA256_SignatureAlgorithm, ZEPASNOID::VALUE_ECDSAWithSHA256,
         ZEPASNOID::VALUE_ECDSAWithSHA256_COUNT},
        {"SHA-384 with ECDSA", ZEPKRYDigestType::SHA384, Padding::ECDSA,
         &Factory::make_ECDSAWithSHA384_SignatureAlgorithm, ZEPASNOID::VALUE_ECDSAWithSHA384,
         ZEPASNOID::VALUE_ECDSAWithSHA384_COUNT},
        {"SHA-512 with ECDSA", ZEPKRYDigestType::SHA512, Padding::ECDSA,
         &Factory::make_ECDSAWithSHA512_SignatureAlgorithm, ZEPASNOID::VALUE_ECDSAWithSHA512,
         ZEPASNOID::VALUE_ECDSAWithSHA512_COUNT},
    };
    return facts[id];
}

// RSASSA-PSS-params for MGF1 with the same digest and a salt as long as
// the digest; the trailer field keeps its default.
RSASSAPSSParams pssParameters(ZEPKRYDigestType digest) {
    RSASSAPSSParams parameters;
    digest.getAlgorithmIdentifier(parameters.hashAlgorithm);
    parameters.hashAlgorithm.set_present(true);

    AlgorithmIdentifier maskHash;
    digest.getAlgorithmIdentifier(maskHash);
    zep_asn_check(ZEP_HERE, parameters.maskGenAlgorithm.algorithm.set_value(ZEPASNOID::VALUE_MGF1,
                                                                            ZEPASNOID::VALUE_MGF1_COUNT));
    zep_asn_check(ZEP_HERE, parameters.maskGenAlgorithm.parameters.set_value(maskHash));
    parameters.maskGenAlgorithm.set_present(true);

    zep_asn_check(ZEP_HERE, parameters.saltLength.set_value(static_cast<long>(digest.getLength())));
    return parameters;
}

}  // namespace

ZEPKRYSignatureScheme ZEPKRYSignatureScheme::defaultFor(const ZEPKRYKey& key) {
    return key.getAlgorithm() == ZEPKRYKey::ALGORITHM_EC ? SHA256_WITH_ECDSA : SHA1_WITH_RSA;
}

ZEPKRYDigestType ZEPKRYSignatureScheme::getDigestType() const { return factsOf(id_).digest; }

ZEPKRYSignatureScheme::Padding ZEPKRYSignatureScheme::getPadding() const { return factsOf(id_).padding; }

int ZEPKRYSignatureScheme::getKeyAlgorithm() const {
    return getPadding() == Padding::ECDSA ? ZEPKRYKey::ALGORITHM_EC : ZEPKRYKey::ALGORITHM_RSA;
}

const char* ZEPKRYSignatureScheme::getName() const { return factsOf(id_).name; }

ZEPKRYSignatureAlgorithm* ZEPKRYSignatureScheme::makeSignatureAlgorithm(const ZEPKRYAlgorithmFactory& factory,
                                                                        const ZEPKRYKey& privateKey) const {
    return (factory.*factsOf(id_).maker)(privateKey);
}

void ZEPKRYSignatureScheme::getAlgorithmIdentifier(AlgorithmIdentifier& out) const {
    const SchemeFacts& facts = factsOf(id_);
    switch (getPadding()) {
        case Padding::RSA_PKCS1: zep_asn_check(ZEP_HERE, out.set_value_with_null(facts.oid, facts.oidCount)); return;
        case Padding::RSA_PSS:
            zep_asn_check(ZEP_HERE, out.algorithm.set_value(facts.oid, facts.oidCount));
            zep_asn_check(ZEP_HERE, out.parameters.set_value(pssParameters(getDigestType())));
            return;
        case Padding::ECDSA:
            zep_asn_check(ZEP_HERE, out.algorithm.set_value(facts.oid, facts.oidCount));
            out.parameters.reset();
            return;
    }
}
