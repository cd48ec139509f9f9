// ECDSA signature values in their two forms: raw, r and s as two big-endian
// halves of equal length (what PKCS#11's ECDSA mechanisms give), and DER,
// an Ecdsa-Sig-Value of two minimal INTEGERs (what X.509, PKCS#10 and
// openssl use). Malformed values are refused with ZEPASNException.
#ifndef MERVIL_ZEPECDSASIGNATURE_H
#define MERVIL_ZEPECDSASIGNATURE_H

#include <cstddef>

#include "zepbuffer.h"

class ZEPECDSASignature {
public:
    // The DER of r||s: leading zero bytes of each half dropped, a 00 put in
    // front where the top bit is set. Refuses an empty or odd-length value
    // and an r or s of 0.
    static ZEPBuffer encode(const ZEPBuffer& raw);
    // r||s from the DER, each half padded with leading zeros to `length`
    // bytes (the curve's length). Refuses anything but one Ecdsa-Sig-Value
    // of minimal, positive INTEGERs of at most `length` bytes each.
    static ZEPBuffer decode(const ZEPBuffer& der, size_t length);
};

#endif
