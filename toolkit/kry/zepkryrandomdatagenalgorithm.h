// Base of random data generators. The virtual operations are in the order
// hosts and modules call them through.
#ifndef MERVIL_ZEPKRYRANDOMDATAGENALGORITHM_H
#define MERVIL_ZEPKRYRANDOMDATAGENALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYRandomDataGenAlgorithm {
public:
    virtual ~ZEPKRYRandomDataGenAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    // `count` random bytes; none for 0.
    virtual ZEPBuffer generateRandomData(unsigned int count) = 0;
    // Mixes `seed` into the generator's state.
    virtual void updateSeed(const r_buffer_t& seed) = 0;

    static ZEPString getClassName() { return "ZEPKRYRandomDataGenAlgorithm"; }
};

#endif
