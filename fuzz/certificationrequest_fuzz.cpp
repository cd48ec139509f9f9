// libFuzzer target for PKCS#10 requests, DER or PEM: an accepted request
// encodes back to its bytes, its subject survives the text form, and its
// key is read as the module reads a request's key.
#include <algorithm>

#include "asn/certificationrequest.h"
#include "asn/zepasnutility.h"
#include "asn/zeppem.h"
#include "fuzzcheck.h"
#include "zepexception.h"
#include "zepsubjectpublickeyinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZEPBuffer der;
    try {
        der = ZEPPEM::decode(ZEPBuffer(size, data), ZEPPEM::LABEL_CERTIFICATE_REQUEST);
    } catch (const ZEPASNException&) {
        return 0;
    }
    CertificationRequest request;
    if (request.read(der.get()) != ASN_OK) return 0;
    buffer_t encoding;
    fuzz_require(request.write(encoding) == ASN_OK && encoding.size() == der.getLength() &&
                     std::equal(encoding.data(), encoding.data() + encoding.size(), der.getValue()),
                 "request round trip");

    const asn_x500name& subject = request.certificationRequestInfo.subject;
    asn_x500name parsed;
    fuzz_require(parsed.from_string(subject.to_string()) == ASN_OK, "subject text");
    try {
        const ZEPSubjectPublicKeyInfo key(ZEPASNUtility::getDEREncoding(request.certificationRequestInfo.subjectPKInfo));
        key.getModulus(true);
    } catch (const ZEPASNException&) {
    }
    return 0;
}
