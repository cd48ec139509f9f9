#include "kry/zepkrydigesttype.h"

#include <string>

#include "asn/digestinfo.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "kry/zepasncheck.h"
#include "kry/zepkryutility.h"
#include "zeptrace.h"

namespace {

struct DigestFacts {
    const char* name;
    size_t length;
    const unsigned long* oid;
    unsigned oidCount;
    ZEPBuffer (*digestData)(const ZEPBuffer&, const ZEPKRYAlgorithmFactory*);
};

// Made on first use, so that the identifiers of other translation units
// are certain to be there.
const DigestFacts& factsOf(ZEPKRYDigestType::Id id) {
    static const DigestFacts facts[] = {
        {"MD5", 16, ZEPASNOID::VALUE_MD5DigestAlgorithm, ZEPASNOID::VALUE_MD5DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_MD5},
        {"SHA-1", 20, ZEPASNOID::VALUE_SHA1DigestAlgorithm, ZEPASNOID::VALUE_SHA1DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_SHA1},
        {"SHA-224", 28, ZEPASNOID::VALUE_SHA224DigestAlgorithm, ZEPASNOID::VALUE_SHA224DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_SHA224},
        {"SHA-256", 32, ZEPASNOID::VALUE_SHA256DigestAlgorithm, ZEPASNOID::VALUE_SHA256DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_SHA256},
        {"SHA-384", 48, ZEPASNOID::VALUE_SHA384DigestAlgorithm, ZEPASNOID::VALUE_SHA384DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_SHA384},
        {"SHA-512", 64, ZEPASNOID::VALUE_SHA512DigestAlgorithm, ZEPASNOID::VALUE_SHA512DigestAlgorithm_COUNT,
         ZEPKRYUtility::digestData_SHA512},
    };
    return facts[id];
}

}  // namespace

const char* ZEPKRYDigestType::getName() const { return factsOf(id_).name; }

size_t ZEPKRYDigestType::getLength() const { return factsOf(id_).length; }

ZEPBuffer ZEPKRYDigestType::digestData(const ZEPBuffer& data, const ZEPKRYAlgorithmFactory* factory) const {
    return factsOf(id_).digestData(data, factory);
}

void ZEPKRYDigestType::getAlgorithmIdentifier(AlgorithmIdentifier& out) const {
    zep_asn_check(ZEP_HERE, out.set_value_with_null(factsOf(id_).oid, factsOf(id_).oidCount));
}

ZEPBuffer ZEPKRYDigestType::getDigestInfo(const ZEPBuffer& digest) const {
    if (digest.getLength() != getLength())
        throw ZEPASNException(ZEP_HERE, ASN_BAD_ARGUMENT,
                              ZEPString(std::string("a ") + getName() + " digest is " + std::to_string(getLength()) +
                                        " bytes long, not " + std::to_string(digest.getLength())));
    DigestInfo info;
    getAlgorithmIdentifier(info.digestAlgorithm);
    zep_asn_check(ZEP_HERE, info.digest.set_value(digest));
    return ZEPASNUtility::getDEREncoding(info);
}
