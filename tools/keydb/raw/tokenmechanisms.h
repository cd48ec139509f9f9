// What a token says of its mechanisms, asked directly beside the module:
// the module's algorithms choose their mechanisms on their own, and keydb
// checks beforehand what a choice would give (a signature made in parts, a
// key size the token cannot make).
#ifndef KEYDB_TOKENMECHANISMS_H
#define KEYDB_TOKENMECHANISMS_H

#include <optional>
#include <string>

#include "cryptoki.h"
#include "raw/rawcryptoki.h"

class TokenMechanisms {
public:
    // Throws std::runtime_error when the library cannot be used.
    TokenMechanisms(const std::string& cryptokiPath, CK_SLOT_ID slot);

    // The token's information on `type`; none when it does not offer it.
    // Throws std::runtime_error when the token cannot tell.
    std::optional<CK_MECHANISM_INFO> info(CK_MECHANISM_TYPE type) const;
    bool offers(CK_MECHANISM_TYPE type) const { return info(type).has_value(); }

private:
    RawCryptoki cryptoki_;
    CK_SLOT_ID slot_;
};

#endif
