// One key database item, or one token object the key database makes no
// item of, as keydb shows it, in text and in JSON alike. Items show kind,
// label, id (lower-case hexadecimal of the object's CKA_ID), keyId (see
// PublicKeyFacts::keyId), subject (RFC 4514), keyAlgorithm ("RSA", "EC") and
// for EC keys the curve ("P-256"), for keys, pairs and requests the size in
// bits, for certificates and pairs issuer and serial. Other objects show
// kind "other", their type (class), key type, label and id, and a damaged
// one (a certificate or RSA key the key database cannot read) the reason
// "damaged: " and why.
#ifndef KEYDB_ITEMDESCRIPTION_H
#define KEYDB_ITEMDESCRIPTION_H

#include <string>

#include "choice/pkcs11uri.h"
#include "io/output.h"
#include "session/tokenobjects.h"
#include "zepbuffer.h"

class ZEPKeyItem;
class ZEPCertItem;
class ZEPKeyCertItem;
class ZEPKeyCertReqItem;

// Each adds the item's fields to the output's current record, last its
// pkcs11: URI (uri): the token's, with the label as object, the id and the
// type of the item's principal object (the private key of pairs and
// requests). The token's objects give the CKA_ID and modulus that items do
// not carry.
void describeItem(Output& output, const ZEPKeyItem& item, const TokenObjects& objects, const Pkcs11Uri& token);
void describeItem(Output& output, const ZEPCertItem& item, const TokenObjects& objects, const Pkcs11Uri& token);
void describeItem(Output& output, const ZEPKeyCertItem& item, const TokenObjects& objects, const Pkcs11Uri& token);
void describeItem(Output& output, const ZEPKeyCertReqItem& item, const TokenObjects& objects,
                  const Pkcs11Uri& token);
void describeObject(Output& output, const TokenObject& object, const Pkcs11Uri& token);

// A label as text: a label held as the DER of a UTF8String is decoded,
// any other is taken as it is.
std::string labelText(const ZEPBuffer& label);

#endif
