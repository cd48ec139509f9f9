// The identifier and length octets at the start of a DER element.
#ifndef KEYDB_DERHEADER_H
#define KEYDB_DERHEADER_H

#include <cstddef>
#include <optional>
#include <string_view>

struct DerHeader {
    unsigned char tag = 0;
    // Identifier and length octets together.
    std::size_t headerLength = 0;
    std::size_t contentLength = 0;

    std::size_t elementLength() const { return headerLength + contentLength; }
};

// The header at the start of `bytes` (single-octet tags, lengths of up to
// four octets); none when the bytes start no such header. The content may
// extend past `bytes`.
std::optional<DerHeader> readDerHeader(std::string_view bytes);

#endif
