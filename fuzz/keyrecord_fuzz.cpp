// libFuzzer target for the key record of a key kept on a token: whatever
// decodes must encode to a record that decodes to the same fields.
#include "fuzzcheck.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "zepexception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const ZEPPKCS11ASNKeyRecord record{ZEPBuffer(size, data)};
        const ZEPPKCS11ASNKeyRecord again(record.getBuffer());
        fuzz_require(again.getTokenLabel() == record.getTokenLabel(), "token label");
        fuzz_require(again.getObjectId() == record.getObjectId(), "object id");
        fuzz_require(again.getKeySize() == record.getKeySize(), "key size");
        fuzz_require(again.getSubjectName() == record.getSubjectName(), "subject name");
    } catch (const ZEPASNException&) {
    }
    return 0;
}
