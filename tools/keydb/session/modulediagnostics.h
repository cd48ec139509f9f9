// The module's diagnostic functions, looked up by name in the loaded
// module, as a host without the module's import library finds them.
#ifndef KEYDB_MODULEDIAGNOSTICS_H
#define KEYDB_MODULEDIAGNOSTICS_H

#include <string>
#include <vector>

#include "cryptoki.h"
#include "raw/loadedlibrary.h"
#include "pkcs11diagnostics.h"
#include "session/tokenobject.h"

// What a slot and its token say about themselves.
struct SlotInfo {
    CK_SLOT_ID id = 0;
    CK_SLOT_INFO slot{};
    // Zero-filled when no token is present.
    CK_TOKEN_INFO token{};

    bool tokenPresent() const { return slot.flags & CKF_TOKEN_PRESENT; }
    bool tokenInitialised() const { return tokenPresent() && (token.flags & CKF_TOKEN_INITIALIZED); }
    // The text fields without their blank padding.
    std::string description() const;
    std::string tokenLabel() const;
    std::string serialNumber() const;
};

// Each throws what the module reported as ZEPPKCS11Exception (or, for a
// failure that is no module error, std::runtime_error).
class ModuleDiagnostics {
public:
    // Throws std::runtime_error when the module lacks one of the functions.
    explicit ModuleDiagnostics(const LoadedLibrary& module);

    SlotInfo slotInfo(ZEPPKCS11Manager& manager, CK_SLOT_ID slot) const;
    // The slot's mechanism lines, written to standard output.
    void dumpMechanisms(ZEPSlotManager& slotManager) const;
    // Every object the slot manager's session sees.
    std::vector<TokenObject> listObjects(ZEPSlotManager& slotManager) const;
    // Destroys one of the listed objects, or sets its CKA_LABEL, in the slot
    // manager's session.
    void destroyObject(ZEPSlotManager& slotManager, CK_OBJECT_HANDLE object) const;
    void setObjectLabel(ZEPSlotManager& slotManager, CK_OBJECT_HANDLE object, const ZEPBuffer& label) const;

private:
    p11_getSlotAndTokenInfo_t getSlotAndTokenInfo_;
    p11_dumpMechanisms_t dumpMechanisms_;
    p11_listObjects_t listObjects_;
    p11_destroyObject_t destroyObject_;
    p11_setObjectLabel_t setObjectLabel_;
};

#endif
