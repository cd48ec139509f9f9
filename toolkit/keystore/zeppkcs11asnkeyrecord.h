// The key blob of a key that stays on a token (ZEPKRYKey format
// FORMAT_PKCS11_KEY_RECORD): which token holds the key, which object it is,
// its size and the subject it belongs to. Every field comes back from the
// DER byte for byte as it was given.
//
// KeyRecord ::= SEQUENCE {
//     tokenLabel   OCTET STRING,             -- the token's label as the token
//                                            -- reports it, padding included
//     objectId     OCTET STRING,             -- CKA_ID of the key object
//     keySize      INTEGER (0..4294967295),  -- in bits; 0 when unknown
//     subjectName  OCTET STRING }            -- CKA_SUBJECT: DER of a Name, or empty
#ifndef MERVIL_ZEPPKCS11ASNKEYRECORD_H
#define MERVIL_ZEPPKCS11ASNKEYRECORD_H

#include "zepbuffer.h"
#include "zepstring.h"

class ZEPPKCS11ASNKeyRecord {
public:
    // Decodes a record; throws ZEPASNException when `der` is not exactly one.
    explicit ZEPPKCS11ASNKeyRecord(const ZEPBuffer& der);
    ZEPPKCS11ASNKeyRecord(const ZEPString& tokenLabel, const ZEPBuffer& objectId, unsigned int keySize,
                          const ZEPBuffer& subjectName);

    const ZEPString& getTokenLabel() const { return tokenLabel_; }
    const ZEPBuffer& getObjectId() const { return objectId_; }
    unsigned int getKeySize() const { return keySize_; }
    const ZEPBuffer& getSubjectName() const { return subjectName_; }

    void setTokenLabel(const ZEPString& tokenLabel) { tokenLabel_ = tokenLabel; }
    void setObjectId(const ZEPBuffer& objectId) { objectId_ = objectId; }
    void setKeySize(unsigned int keySize) { keySize_ = keySize; }
    void setSubjectName(const ZEPBuffer& subjectName) { subjectName_ = subjectName; }

    // The DER of the record.
    ZEPBuffer getBuffer() const;

private:
    ZEPString tokenLabel_;
    ZEPBuffer objectId_;
    unsigned int keySize_ = 0;
    ZEPBuffer subjectName_;
};

#endif
