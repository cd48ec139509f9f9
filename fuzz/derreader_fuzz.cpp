// libFuzzer target for the DER reader: every input is decoded as each
// top-level structure; whatever decodes must encode back to the same bytes
// and survive copying and name text conversion.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "asn/asn_any.h"
#include "asn/certificationrequest.h"
#include "asn/privatekeyinfo.h"
#include "asn/x509_certificate.h"

namespace {

template <typename T>
void round_trip(const r_buffer_t& input) {
    T object;
    if (object.read(input) != ASN_OK) return;
    T copy(object);
    buffer_t encoding;
    if (copy.write(encoding) != ASN_OK || encoding.size() != input.len ||
        !std::equal(encoding.data(), encoding.data() + encoding.size(), input.data))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    r_buffer_t input{data, static_cast<unsigned int>(size)};
    round_trip<asn_any>(input);
    round_trip<x509_certificate>(input);
    round_trip<CertificationRequest>(input);
    round_trip<PrivateKeyInfo>(input);
    round_trip<asn_x500name>(input);

    asn_x500name name;
    if (name.read(input) == ASN_OK) {
        asn_x500name parsed;
        if (parsed.from_string(name.to_string()) != ASN_OK) std::abort();
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    asn_x500name fromText;
    if (fromText.from_string(text) == ASN_OK && fromText.to_string().empty() != text.empty()) std::abort();
    return 0;
}
