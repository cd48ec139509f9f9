#include "io/subjectname.h"

#include <stdexcept>

#include "asn/asn_x500name.h"
#include "asn/zepasnutility.h"

void parseSubjectName(const std::string& text, asn_x500name& name) {
    if (text.empty()) throw std::runtime_error("the subject is empty; give one such as CN=Alice,O=Example");
    if (name.from_string(text) != 0)
        throw std::runtime_error("cannot encode the subject \"" + text +
                                 "\": write TYPE=VALUE pairs separated by ',' (or '+' within one RDN), such as "
                                 "CN=Alice,O=Example, with no blank after a separator; TYPE is CN, O, OU, C, L, ST, "
                                 "emailAddress (or E), serialNumber, DC, UID, another common short name or a dotted "
                                 "object identifier; escape , + \\ \" < > ; and a leading # or blank with a "
                                 "backslash");
}

ZEPBuffer subjectNameDER(const std::string& text) {
    asn_x500name name;
    parseSubjectName(text, name);
    return ZEPASNUtility::getDEREncoding(name);
}
