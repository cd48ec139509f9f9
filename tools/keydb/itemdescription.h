// One key database item as keydb shows it, in text and in JSON alike:
// kind, label, id (lower-case hexadecimal of CKA_ID), subject (RFC 4514),
// for keys the size in bits, for certificates and pairs issuer and serial.
#ifndef KEYDB_ITEMDESCRIPTION_H
#define KEYDB_ITEMDESCRIPTION_H

#include <string>

#include "output.h"
#include "zepbuffer.h"

class ZEPKeyItem;
class ZEPCertItem;
class ZEPKeyCertItem;
class ZEPKeyCertReqItem;

// Adds the item's fields to the output's current record.
void describeItem(Output& output, const ZEPKeyItem& item);
void describeItem(Output& output, const ZEPCertItem& item);
void describeItem(Output& output, const ZEPKeyCertItem& item);
void describeItem(Output& output, const ZEPKeyCertReqItem& item);

// A label as text: a label held as the DER of a UTF8String is decoded,
// any other is taken as it is.
std::string labelText(const ZEPBuffer& label);

#endif
