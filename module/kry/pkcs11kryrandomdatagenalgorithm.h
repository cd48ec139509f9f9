// Random bytes from the token's generator. A token that cannot be seeded,
// or has no generator, is no failure: seeds are then dropped and random
// data comes back unfilled (zero bytes).
#ifndef MERVIL7_PKCS11KRYRANDOMDATAGENALGORITHM_H
#define MERVIL7_PKCS11KRYRANDOMDATAGENALGORITHM_H

#include <memory>

#include "kry/zepkryrandomdatagenalgorithm.h"

class SlotManager;

class PKCS11KRYRandomDataGenAlgorithm : public ZEPKRYRandomDataGenAlgorithm {
public:
    // Passes `seed`, when given, to the token as updateSeed does.
    PKCS11KRYRandomDataGenAlgorithm(SlotManager* slotManager, const r_buffer_t* seed);
    ~PKCS11KRYRandomDataGenAlgorithm() override;

    bool isKindOf(const ZEPString& className) const override;
    ZEPString getInstanceName() const override;
    ZEPBuffer generateRandomData(unsigned int count) override;
    void updateSeed(const r_buffer_t& seed) override;

    static ZEPString getClassName() { return "PKCS11KRYRandomDataGenAlgorithm"; }

private:
    std::unique_ptr<SlotManager> slot_;
};

#endif
