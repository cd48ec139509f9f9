// One line of text for a failure the toolkit or the module reported.
#ifndef KEYDB_FAILURETEXT_H
#define KEYDB_FAILURETEXT_H

#include <string>

#include "zepexception.h"

// "C_Login failed: CKR_PIN_INCORRECT (0xA0)" for a Cryptoki failure (the
// message names the failing call); otherwise the message, or the code's
// meaning when there is none, and the error code: "DER input truncated
// (error 5801)".
std::string failureText(const ZEPException& failure);

#endif
