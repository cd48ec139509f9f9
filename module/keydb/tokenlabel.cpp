#include "tokenlabel.h"

#include "slotmanager.h"

const ZEPString& TokenLabel::of(SlotManager& slot) {
    if (!label_) label_ = slot.getLabel();
    return *label_;
}
