// Base of encryption with a key bound at construction. One-shot
// encryptData, or encryptDataInit, any number of encryptDataUpdate (each
// returns the output ready so far, possibly none) and encryptDataFinal. The
// virtual operations are in the order hosts and modules call them through.
#ifndef MERVIL_ZEPKRYENCRYPTIONALGORITHM_H
#define MERVIL_ZEPKRYENCRYPTIONALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYEncryptionAlgorithm {
public:
    virtual ~ZEPKRYEncryptionAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer encryptData(const r_buffer_t& data) = 0;
    virtual void encryptDataInit() = 0;
    virtual ZEPBuffer encryptDataUpdate(const r_buffer_t& data) = 0;
    virtual ZEPBuffer encryptDataFinal() = 0;
    // The block a recipient needs to recover the key, owned by the
    // algorithm; null when the algorithm has none.
    virtual const ZEPBuffer* getKeyRecoveryBlock() const = 0;

    static ZEPString getClassName() { return "ZEPKRYEncryptionAlgorithm"; }
};

#endif
