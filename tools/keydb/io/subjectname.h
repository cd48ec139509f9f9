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
// The DER of such a name.
ZEPBuffer subjectNameDER(const std::string& text);

#endif
