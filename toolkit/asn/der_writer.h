// DER identifier and length octets.
#ifndef MERVIL_ASN_DER_WRITER_H
#define MERVIL_ASN_DER_WRITER_H

#include <cstddef>

#include "asn/buffer_t.h"

// Appends the identifier and the minimal length octets of an element.
void der_append_header(buffer_t& out, int cls, bool constructed, unsigned long tag, size_t length);

#endif
