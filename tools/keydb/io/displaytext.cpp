#include "io/displaytext.h"

#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence at the start of `text` and its
// code point; length 0 when the first byte starts none.
std::size_t sequenceAt(std::string_view text, char32_t& codePoint) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char first = byte(0);
    if (first < 0x80) {
        codePoint = first;
        return 1;
    }
    std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    if (length == 0 || first > 0xF4 || length > text.size()) return 0;
    codePoint = first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < smallest[length] || codePoint > 0x10FFFF || surrogate) return 0;
    return length;
}

// Each byte as `format` writes it: \xNN in text, \NN in names.
void appendEscaped(std::string& out, std::string_view bytes, const char* format) {
    char escape[5];
    for (char c : bytes) {
        std::snprintf(escape, sizeof escape, format, static_cast<unsigned char>(c));
        out += escape;
    }
}

bool isControl(char32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The bytes of the \XX escapes at the start of `name`, which loses them.
std::string escapedBytes(std::string_view& name) {
    std::string bytes;
    while (name.size() >= 3 && name[0] == '\\' && hexDigit(name[1]) >= 0 && hexDigit(name[2]) >= 0) {
        bytes += static_cast<char>(hexDigit(name[1]) * 16 + hexDigit(name[2]));
        name.remove_prefix(3);
    }
    return bytes;
}

// Calls `visit` with each code point of valid UTF-8 text.
template <typename Visit>
void forEachCodePoint(std::string_view text, Visit visit) {
    while (!text.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = sequenceAt(text, codePoint);
        visit(codePoint);
        text.remove_prefix(length ? length : 1);
    }
}

template <typename Escaped>
std::string rewritten(std::string_view text, Escaped escaped, const char* format = "\\x%02X") {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t codePoint = 0;
        std::size_t length = sequenceAt(text, codePoint);
        std::string_view piece = text.substr(0, length ? length : 1);
        if (length == 0 || escaped(codePoint))
            appendEscaped(out, piece, format);
        else
            out += piece;
        text.remove_prefix(piece.size());
    }
    return out;
}

}  // namespace

std::string terminalText(std::string_view text) { return rewritten(text, isControl); }

std::string nameWithCharacters(std::string_view name) {
    std::string out;
    while (!name.empty()) {
        std::string bytes = escapedBytes(name);
        if (bytes.empty()) {
            // A character as it is, or an escape such as \, kept whole.
            const std::size_t length = name[0] == '\\' && name.size() > 1 ? 2 : 1;
            out += name.substr(0, length);
            name.remove_prefix(length);
            continue;
        }
        out += rewritten(
            bytes, [](char32_t codePoint) { return codePoint < 0x80 || isControl(codePoint); }, "\\%02X");
    }
    return out;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    forEachCodePoint(utf8, [&](char32_t) { ++count; });
    return count;
}

bool holdsControlCharacter(std::string_view utf8) {
    bool found = false;
    forEachCodePoint(utf8, [&](char32_t codePoint) { found = found || isControl(codePoint); });
    return found;
}

std::string utf8Text(std::string_view text) {
    return rewritten(text, [](char32_t) { return false; });
}
