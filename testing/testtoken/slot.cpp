#include "slot.h"

#include "arguments.h"
#include "cryptokierror.h"

namespace testtoken {

Slot::Slot(const SlotSettings& settings)
    : id_(settings.id),
      description_(settings.description),
      manufacturer_(settings.manufacturer),
      flags_(settings.flags & ~CKF_TOKEN_PRESENT),
      tokenPresent_(settings.tokenPresent),
      token_(settings.token) {}

Token& Slot::presentToken() {
    if (!tokenPresent_) {
        throw CryptokiError(CKR_TOKEN_NOT_PRESENT);
    }
    return token_;
}

void Slot::describe(CK_SLOT_INFO& info) const {
    info = {};
    fillPadded(info.slotDescription, description_);
    fillPadded(info.manufacturerID, manufacturer_);
    info.flags = flags_ | (tokenPresent_ ? CKF_TOKEN_PRESENT : 0);
    info.hardwareVersion = {1, 0};
    info.firmwareVersion = {1, 0};
}

}  // namespace testtoken
