// Conversions between token objects and the toolkit's items, for the slot
// manager: object searches by criterion, certificate comparisons, label
// normalisation, duplicate checks, and items made from token objects. Every
// operation works on the slot manager's client and its open session.
#ifndef MERVIL7_SLOTMANAGERUTILITY_H
#define MERVIL7_SLOTMANAGERUTILITY_H

#include <functional>
#include <vector>

#include "cryptoki.h"
#include "zepbuffer.h"

class AttributeTemplate;
class SlotManager;
class asn_object;
class x509_certificate;
class ZEPKeyItem;
class ZEPCertItem;
class ZEPKeyCertItem;
class ZEPKeyCertReqItem;
class ZEPKRYKey;
class ZEPException;
class KeyRecordFinder;
class TokenLabel;

// The criterion of an object search or an item maker.
enum MatchType {
    MATCH_ALL = 1,
    MATCH_VALUE = 2,
    MATCH_ID = 3,
    MATCH_LABEL = 4,
    MATCH_SIGNATURE = 5,
    MATCH_ISSUER_AND_SERIAL = 6,
    MATCH_UNSIGNED_CERTIFICATE = 7,
    MATCH_SUBJECT_NAME = 8,
    MATCH_SUBJECT_PUBLIC_KEY_INFO = 9,
    MATCH_KEY_RECORD = 10,
};

class SlotManagerUtility {
public:
    // Appends the handles of the objects of `objectClass` that the search
    // template selects; only MATCH_ID and MATCH_SUBJECT_NAME with a value
    // filter the search. True when `handles` holds any handle afterwards.
    static bool findAllItems(SlotManager& slot, CK_OBJECT_CLASS objectClass, std::vector<CK_OBJECT_HANDLE>& handles,
                             MatchType match, const ZEPBuffer& value);
    // The first object of the class, in the token's order, that passes the
    // match; `handle` is 0 when there is none.
    static bool findItem(SlotManager& slot, CK_OBJECT_CLASS objectClass, MatchType match, const ZEPBuffer& value,
                         CK_OBJECT_HANDLE& handle);
    // The same, taking only an object that `accept` takes: the search goes
    // on past one it refuses.
    static bool findItem(SlotManager& slot, CK_OBJECT_CLASS objectClass, MatchType match, const ZEPBuffer& value,
                         CK_OBJECT_HANDLE& handle, const std::function<bool(CK_OBJECT_HANDLE)>& accept);
    // True when the object is a certificate with label, value and id that
    // passes the match; then the outputs hold its CKA_VALUE, CKA_LABEL and
    // CKA_ID.
    static bool getCert(SlotManager& slot, CK_OBJECT_HANDLE handle, MatchType match, const asn_object& criterion,
                        ZEPBuffer& certificateDER, ZEPBuffer& label, ZEPBuffer& id);

    static bool compareSignature(const x509_certificate& certificate, const asn_object& criterion);
    static bool compareIssuerAndSerialNumber(const x509_certificate& certificate, const asn_object& criterion);
    static bool compareUnsignedCertificate(const x509_certificate& certificate, const asn_object& criterion);
    static bool compareSubjectName(const x509_certificate& certificate, const asn_object& criterion);
    static bool compareSubjectPublicKeyInfo(const x509_certificate& certificate, const asn_object& criterion);

    // Labels as the DER of a UTF8String: plain text is wrapped, a label that
    // already is one is kept, so both forms compare equal.
    static ZEPBuffer normalizeLabel(const ZEPBuffer& label);
    static bool compareLabel(const ZEPBuffer& a, const ZEPBuffer& b);
    // Sets CKA_LABEL to the label's characters, the UTF-8 text that PKCS#11
    // defines: a label that is the DER of a UTF8String is unwrapped, any
    // other is written as given. Every label the module writes goes this way.
    static void setLabel(AttributeTemplate& object, const ZEPBuffer& label);

    // Whether the item is on the token already; `reason` gets the duplicate
    // code (577009 to 577013) when it is.
    static bool exists(SlotManager& slot, const ZEPKeyItem& item, int& reason);
    static bool exists(SlotManager& slot, const ZEPCertItem& item, int& reason);
    // True, or throws the duplicate code with an empty message.
    static bool isUnique(SlotManager& slot, const ZEPKeyItem& item);
    static bool isUnique(SlotManager& slot, const ZEPCertItem& item);
    static bool isUnique(SlotManager& slot, const ZEPKeyCertItem& item);

    // Whether an item maker failed because of what the object holds: a
    // value that does not decode (an ASN.1 failure: a certificate, a key's
    // components, a key record) or a class or key type the key database does
    // not handle (571004). A failed Cryptoki call is no such failure.
    static bool isUnreadable(const ZEPException& failure);

    // Items made from token objects, owned by the caller; null when the
    // object does not make such an item.
    static ZEPKeyItem* makeKeyItem(SlotManager& slot, CK_OBJECT_HANDLE key);
    // The same, a private key's record naming the token by `tokenLabel`: a
    // listing passes one for all its items.
    static ZEPKeyItem* makeKeyItem(SlotManager& slot, CK_OBJECT_HANDLE key, TokenLabel& tokenLabel);
    static ZEPCertItem* makeCertItem(SlotManager& slot, CK_OBJECT_HANDLE certificate, MatchType match,
                                     const asn_object& criterion);
    static ZEPKeyCertItem* makeKeyCertItem(SlotManager& slot, CK_OBJECT_HANDLE certificate, MatchType match,
                                           const asn_object& criterion);
    static ZEPKeyCertReqItem* makeKeyCertReqItem(SlotManager& slot, CK_OBJECT_HANDLE privateKey);
    static ZEPKeyCertReqItem* makeKeyCertReqItem(SlotManager& slot, const ZEPKeyItem& privateKeyItem);
    // The same, finding the objects of a key record with `finder` and naming
    // the token by `tokenLabel`: a listing passes one indexing finder and one
    // token label for all its items.
    static ZEPKeyCertItem* makeKeyCertItem(SlotManager& slot, CK_OBJECT_HANDLE certificate, MatchType match,
                                           const asn_object& criterion, KeyRecordFinder& finder,
                                           TokenLabel& tokenLabel);
    static ZEPKeyCertReqItem* makeKeyCertReqItem(SlotManager& slot, CK_OBJECT_HANDLE privateKey,
                                                 KeyRecordFinder& finder, TokenLabel& tokenLabel);
    static ZEPKeyCertReqItem* makeKeyCertReqItem(SlotManager& slot, const ZEPKeyItem& privateKeyItem,
                                                 KeyRecordFinder& finder);

    // Token objects made from items. The key object gets `id` as CKA_ID (or
    // the id derived from the key when `id` is empty) and `subject` as
    // CKA_SUBJECT when it is not empty; a key already on the token (a key
    // record) is relabelled instead, `handle` left as it is. The certificate
    // object's CKA_ID is stored in `id`. Both return true or throw.
    static bool makeKeyItem(SlotManager& slot, const ZEPKeyItem& item, CK_OBJECT_HANDLE& handle, const ZEPBuffer& id,
                            const ZEPBuffer& subject);
    static bool makeCertItem(SlotManager& slot, const ZEPCertItem& item, CK_OBJECT_HANDLE& handle, ZEPBuffer& id);
    // Throw 571002 when a key is an EC key not on the curve of the
    // certificate's key or with another point, or either of the two is an
    // EC key and the other not. The first checks the key of a pair, where a
    // key on the token (a key record) passes; the second a key on the token
    // by its objects, the public one (0 when there is none) giving its point.
    static void requireKeyOfCertificate(const ZEPKeyCertItem& item);
    static void requireKeyOfCertificate(SlotManager& slot, const ZEPKRYKey& key, CK_OBJECT_HANDLE privateKey,
                                        CK_OBJECT_HANDLE publicKey, const ZEPCertItem& certificate);
    // The CKA_ID tying a key pair and its certificates together: the SHA-1 of
    // the RSA modulus without leading zero bytes, of an EC key's uncompressed
    // point; a key record's own id. An EC private key without its public
    // point gets none (571004).
    static ZEPBuffer makeObjectId(const ZEPKRYKey& key);
    static ZEPBuffer makeObjectId(const x509_certificate& certificate);
    // The object class of a key's type: private, public, secret, else vendor
    // defined.
    static CK_OBJECT_CLASS objectClassOf(const ZEPKRYKey& key);
};

#endif
