// Text from tokens, certificates and libraries made safe to show. Labels
// and messages may hold any bytes; on a terminal a control character could
// forge an output line or change the terminal's state, and bytes that are
// not UTF-8 could not go into JSON at all.
#ifndef KEYDB_DISPLAYTEXT_H
#define KEYDB_DISPLAYTEXT_H

#include <string>
#include <string_view>

// For text output: valid UTF-8 stays as it is except the control
// characters (C0, DEL and C1), which become \xNN for each of their bytes,
// as does every byte that is no part of valid UTF-8.
std::string terminalText(std::string_view text);

// For JSON strings: valid UTF-8 (control characters included, which JSON
// escapes itself) stays as it is; a byte that is no part of valid UTF-8
// becomes the four characters \xNN.
std::string utf8Text(std::string_view text);

// RFC 4514 text (as the toolkit writes names, every byte of a non-ASCII
// character escaped as \XX) with each character shown as itself, ü for
// \C3\BC, unless it is a control character or its bytes are no UTF-8.
std::string nameWithCharacters(std::string_view name);

// Of valid UTF-8 text: the number of characters (code points), and
// whether one of them is a control character (C0, DEL or C1).
std::size_t characterCount(std::string_view utf8);
bool holdsControlCharacter(std::string_view utf8);

#endif
