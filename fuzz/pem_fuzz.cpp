// libFuzzer target for the PEM reader: any text is searched for a block of
// each label the toolkit reads. What decodes must come back unchanged from
// its own armour, and the armour must not be taken for another label.
#include <string>

#include "asn/zeppem.h"
#include "fuzzcheck.h"
#include "zepexception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ZEPBuffer input(size, data);
    for (const char* label : {ZEPPEM::LABEL_CERTIFICATE, ZEPPEM::LABEL_PRIVATE_KEY, ZEPPEM::LABEL_CERTIFICATE_REQUEST,
                              ZEPPEM::LABEL_EC_PRIVATE_KEY}) {
        ZEPBuffer der;
        try {
            der = ZEPPEM::decode(input, label);
        } catch (const ZEPASNException&) {
            continue;
        }
        const std::string armour = ZEPPEM::encode(der, label);
        fuzz_require(ZEPPEM::decode(ZEPBuffer(armour.size(), armour.data()), label) == der, "PEM round trip");
    }
    return 0;
}
