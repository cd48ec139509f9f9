#include "pkcs11diagnostics.h"

#include "errorcodes.h"
#include "mechanisminfolist.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "slotmanager.h"

namespace {
// Hosts hand back the toolkit objects the module gave them.
template <typename Module, typename Toolkit>
Module& moduleObject(Toolkit* object) {
    if (!object || !object->isKindOf(Module::getClassName()))
        throw ZEPPKCS11Exception(ZEP_HERE, errorcode::BAD_ARGUMENT, "args is invalid");
    return static_cast<Module&>(*object);
}
}  // namespace

void p11_getSlotAndTokenInfo(ZEPPKCS11Manager* manager, CK_SLOT_ID slot, CK_SLOT_INFO* info, CK_TOKEN_INFO* token) {
    ZEP_TRACE(MODULE_TRACE, "p11_getSlotAndTokenInfo");
    PKCS11Client& client = *moduleObject<PKCS11Manager>(manager).getClient();
    client.getSlotInfo(slot, info);
    *token = CK_TOKEN_INFO{};
    if (info->flags & CKF_TOKEN_PRESENT) client.getTokenInfo(slot, token);
}

void p11_dumpMechanisms(ZEPSlotManager* slotManager) {
    ZEP_TRACE(MODULE_TRACE, "p11_dumpMechanisms");
    MechanismInfoList(moduleObject<SlotManager>(slotManager)).dump();
}
