// Diagnostics for hosts, exported by name from the module library: what a
// host shows people about slots, tokens and mechanisms beyond the toolkit's
// own interfaces. Each throws ZEPPKCS11Exception like the operations it uses.
#ifndef MERVIL7_PKCS11DIAGNOSTICS_H
#define MERVIL7_PKCS11DIAGNOSTICS_H

#include "cryptoki.h"

class ZEPPKCS11Manager;
class ZEPSlotManager;

extern "C" {
// The slot's information and, when a token is present, the token's
// (`token` is zero-filled otherwise). `manager` is one the module made.
void p11_getSlotAndTokenInfo(ZEPPKCS11Manager* manager, CK_SLOT_ID slot, CK_SLOT_INFO* info, CK_TOKEN_INFO* token);
// Writes the slot's mechanism lines to standard output.
void p11_dumpMechanisms(ZEPSlotManager* slotManager);
}

// Signatures of the exported functions, for hosts that look them up.
using p11_getSlotAndTokenInfo_t = void (*)(ZEPPKCS11Manager*, CK_SLOT_ID, CK_SLOT_INFO*, CK_TOKEN_INFO*);
using p11_dumpMechanisms_t = void (*)(ZEPSlotManager*);

#endif
