// Base of decryption with a key bound at construction. One-shot
// decryptData, or decryptDataInit, any number of decryptDataUpdate (each
// returns the output ready so far, possibly none) and decryptDataFinal. The
// virtual operations are in the order hosts and modules call them through.
#ifndef MERVIL_ZEPKRYDECRYPTIONALGORITHM_H
#define MERVIL_ZEPKRYDECRYPTIONALGORITHM_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPKRYDecryptionAlgorithm {
public:
    virtual ~ZEPKRYDecryptionAlgorithm();
    virtual bool isKindOf(const ZEPString& className) const;
    virtual ZEPString getInstanceName() const;
    virtual ZEPBuffer decryptData(const r_buffer_t& data) = 0;
    virtual void decryptDataInit() = 0;
    virtual ZEPBuffer decryptDataUpdate(const r_buffer_t& data) = 0;
    virtual ZEPBuffer decryptDataFinal() = 0;

    static ZEPString getClassName() { return "ZEPKRYDecryptionAlgorithm"; }
};

#endif
