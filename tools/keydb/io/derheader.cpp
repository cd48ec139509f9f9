#include "io/derheader.h"

std::optional<DerHeader> readDerHeader(std::string_view bytes) {
    if (bytes.size() < 2) return std::nullopt;
    DerHeader header;
    header.tag = static_cast<unsigned char>(bytes[0]);
    header.headerLength = 2;
    header.contentLength = static_cast<unsigned char>(bytes[1]);
    if (header.contentLength & 0x80) {
        std::size_t octets = header.contentLength & 0x7F;
        if (octets == 0 || octets > 4 || bytes.size() < 2 + octets) return std::nullopt;
        header.contentLength = 0;
        for (std::size_t i = 0; i < octets; ++i)
            header.contentLength = (header.contentLength << 8) | static_cast<unsigned char>(bytes[2 + i]);
        header.headerLength += octets;
    }
    return header;
}
