// The token's label as one listing or lookup puts it into key records: read
// from the token (C_GetTokenInfo) the first time a record needs it, and
// given from memory for the others, so that n private keys cost one
// C_GetTokenInfo rather than n.
#ifndef MERVIL7_TOKENLABEL_H
#define MERVIL7_TOKENLABEL_H

#include <optional>

#include "zepstring.h"

class SlotManager;

class TokenLabel {
public:
    // The label of `slot`'s token, padding included.
    const ZEPString& of(SlotManager& slot);

private:
    std::optional<ZEPString> label_;
};

#endif
