#include "pkcs11kryrandomdatagenalgorithm.h"

#include "generatortrace.h"
#include "pkcs11client.h"
#include "slotmanager.h"
#include "zeptrace.h"

PKCS11KRYRandomDataGenAlgorithm::PKCS11KRYRandomDataGenAlgorithm(SlotManager* slotManager, const r_buffer_t* seed)
    : slot_(std::make_unique<SlotManager>(*slotManager)) {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYRandomDataGenAlgorithm::ctor");
    if (seed) updateSeed(*seed);
}

PKCS11KRYRandomDataGenAlgorithm::~PKCS11KRYRandomDataGenAlgorithm() {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYRandomDataGenAlgorithm::dtor");
}

bool PKCS11KRYRandomDataGenAlgorithm::isKindOf(const ZEPString& className) const {
    return className.compare(getClassName()) == 0 || ZEPKRYRandomDataGenAlgorithm::isKindOf(className);
}

ZEPString PKCS11KRYRandomDataGenAlgorithm::getInstanceName() const { return getClassName(); }

ZEPBuffer PKCS11KRYRandomDataGenAlgorithm::generateRandomData(unsigned int count) {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYRandomDataGenAlgorithm::generateRandomData");
    ZEPBuffer random(count, nullptr);
    if (count != 0) slot_->getClient()->generateRandom(slot_->getSessionHandle(), random);
    return random;
}

void PKCS11KRYRandomDataGenAlgorithm::updateSeed(const r_buffer_t& seed) {
    ZEP_TRACE(GENERATOR_TRACE, "PKCS11KRYRandomDataGenAlgorithm::updateSeed");
    // Seeding is a contribution, not a requirement: a token that answers
    // that it cannot be seeded is simply left as it is.
    slot_->getClient()->seedRandom(slot_->getSessionHandle(), ZEPBuffer(seed));
}
