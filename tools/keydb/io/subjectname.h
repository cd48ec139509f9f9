// A subject name typed on the command line in the RFC 4514 form keydb
// prints (CN=Alice,O=Example), made into the X.500 name a certificate holds.
#ifndef KEYDB_SUBJECTNAME_H
#define KEYDB_SUBJECTNAME_H

#include <string>

#include "zepbuffer.h"

class asn_x500name;

// Throws std::runtime_error saying how to write the name when `text` is
// empty or cannot be encoded; `name` is unchanged then.
void parseSubjectName(const std::string& text, asn_x500name& name);
// The DER of such a name as the subject of a new request, which
// certificate authorities and openssl can read: every value is text (a
// #value the DER of a string type), not empty, without control characters
// and within the upper bound of its type (64 characters for CN, exactly 2
// for C); throws std::runtime_error naming the value otherwise.
ZEPBuffer requestSubjectDER(const std::string& text);

#endif
