// pkcs11: URIs read and written: the examples of RFC 7512 (section 3.3),
// values at the edges of each attribute, and every refusal with its reason.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "choice/pkcs11uri.h"

namespace {

using namespace std::string_literals;

std::string text(const ZEPBuffer& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength());
}

// Every attribute that is set, one "name=value" line each, the id in
// hexadecimal and the type as its CKO_ number.
std::string fields(const Pkcs11Uri& uri) {
    std::string out;
    auto add = [&](const char* name, const std::optional<std::string>& value) {
        if (value) out += std::string(name) + "=" + *value + "\n";
    };
    add("token", uri.token);
    add("manufacturer", uri.manufacturer);
    add("serial", uri.serial);
    add("model", uri.model);
    if (uri.slotId) add("slot-id", std::to_string(*uri.slotId));
    add("slot-description", uri.slotDescription);
    add("slot-manufacturer", uri.slotManufacturer);
    add("library-description", uri.libraryDescription);
    add("library-manufacturer", uri.libraryManufacturer);
    if (uri.libraryVersion)
        add("library-version",
            std::to_string(uri.libraryVersion->major) + "." + std::to_string(uri.libraryVersion->minor));
    add("object", uri.object);
    if (uri.id) {
        std::string hex;
        for (unsigned char byte : text(*uri.id)) hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
        add("id", hex);
    }
    if (uri.type) add("type", std::to_string(*uri.type));
    if (uri.pinValue) add("pin-value", text(*uri.pinValue));
    add("pin-source", uri.pinSource);
    add("module-path", uri.modulePath);
    add("module-name", uri.moduleName);
    return out;
}

TEST(Pkcs11Uri, ReadsTheRFCExamplesAndOurOwn) {
    const struct {
        const char* uri;
        std::string fields;
    } rows[] = {
        // RFC 7512, section 3.3 (its last example has a vendor path attribute: refused below).
        {"pkcs11:", ""},
        {"pkcs11:object=my-pubkey;type=public", "object=my-pubkey\ntype=2\n"},
        {"pkcs11:object=my-key;type=private?pin-source=file:/etc/token", "object=my-key\ntype=3\npin-source=/etc/token\n"},
        {"pkcs11:token=The%20Software%20PKCS%2311%20Softtoken;manufacturer=Snake%20Oil,%20Inc.;model=1.0;"
         "object=my-certificate;type=cert;id=%69%95%3E%5C%F4%BD%EC%91;serial=?pin-source=file:/etc/token_pin",
         "token=The Software PKCS#11 Softtoken\nmanufacturer=Snake Oil, Inc.\nserial=\nmodel=1.0\n"
         "object=my-certificate\nid=69953e5cf4bdec91\ntype=1\npin-source=/etc/token_pin\n"},
        {"pkcs11:object=my-sign-key;type=private?module-name=mypkcs11", "object=my-sign-key\ntype=3\nmodule-name=mypkcs11\n"},
        {"pkcs11:object=my-sign-key;type=private?module-path=/mnt/libmypkcs11.so.1",
         "object=my-sign-key\ntype=3\nmodule-path=/mnt/libmypkcs11.so.1\n"},
        {"pkcs11:token=Software%20PKCS%2311%20softtoken;manufacturer=Snake%20Oil,%20Inc.?pin-value=the-pin",
         "token=Software PKCS#11 softtoken\nmanufacturer=Snake Oil, Inc.\npin-value=the-pin\n"},
        {"pkcs11:slot-description=Sun%20Metaslot", "slot-description=Sun Metaslot\n"},
        {"pkcs11:library-manufacturer=Snake%20Oil,%20Inc.;library-description=Soft%20Token%20Library;library-version=1.23",
         "library-description=Soft Token Library\nlibrary-manufacturer=Snake Oil, Inc.\nlibrary-version=1.23\n"},
        {"pkcs11:token=My%20token%25%20created%20by%20Joe;library-version=3;id=%01%02%03%Ba%dd%Ca%fe%04%05%06",
         "token=My token% created by Joe\nlibrary-version=3.0\nid=010203baddcafe040506\n"},
        {"pkcs11:token=A%20name%20with%20a%20substring%20%25%3B;object=my-certificate;type=cert",
         "token=A name with a substring %;\nobject=my-certificate\ntype=1\n"},
        {"pkcs11:token=Name%20with%20a%20small%20A%20with%20acute:%20%C3%A1;object=my-certificate;type=cert",
         "token=Name with a small A with acute: \xC3\xA1\nobject=my-certificate\ntype=1\n"},
        // Our own: every other attribute, the largest numbers, the reserved characters a value may hold as
        // they are, file: URIs of this machine, empty elements, a vendor's query attribute passed over.
        {"PKCS11:slot-id=4294967295;slot-manufacturer=A&B;type=secret-key;library-version=255.255;;",
         "slot-id=4294967295\nslot-manufacturer=A&B\nlibrary-version=255.255\ntype=4\n"},
        {"pkcs11:object=:[]@!$'()*+,=&-._~;type=data?pin-source=file:///run/pin&x-vendor=a/b?c|d&",
         "object=:[]@!$'()*+,=&-._~\ntype=0\npin-source=/run/pin\n"},
        {"pkcs11:id=?pin-source=file://LocalHost/pin%20file&pin-value=%00%25",
         "id=\npin-value=\0%\npin-source=/pin file\n"s},
        {"pkcs11:?pin-source=pin.txt&module-path=lib.so", "pin-source=pin.txt\nmodule-path=lib.so\n"},
        {"pkcs11:?pin-source=C:/pins/a:b", "pin-source=C:/pins/a:b\n"},
        {"pkcs11:?pin-source=pins/a:b", "pin-source=pins/a:b\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.fields, fields(Pkcs11Uri::parse(row.uri))) << row.uri;
    }
}

TEST(Pkcs11Uri, RefusesWithTheReasonAndNeverQuotesThePin) {
    const struct {
        const char* uri;
        const char* message;
    } rows[] = {
        {"pkcs:token=a", "a PKCS#11 URI starts with \"pkcs11:\""},
        {"token=a", "a PKCS#11 URI starts with \"pkcs11:\""},
        {"pkcs11:token=my%2", "malformed percent-encoding in token: \"%\" must be followed by two hexadecimal digits"},
        {"pkcs11:object=%G1", "malformed percent-encoding in object"},
        {"pkcs11:?pin-value=s3cret%", "malformed percent-encoding in pin-value"},
        {"pkcs11:token=my token", "token holds \" \", which must be percent-encoded as %20"},
        {"pkcs11:object=a/b", "object holds \"/\", which must be percent-encoded as %2F"},
        {"pkcs11:?pin-value=s3cret pin", "pin-value holds a character that must be percent-encoded"},
        {"pkcs11:?module-path=/lib&pin-source=a;c", "pin-source holds \";\", which must be percent-encoded as %3B"},
        {"pkcs11:token=my-token;object=my-certificate;type=cert;vendor-aaa=value-a?pin-source=file:/etc/token_pin"
         "&vendor-bbb=value-b",
         "unknown path attribute \"vendor-aaa\""},
        {"pkcs11:Token=a", "unknown path attribute \"Token\""},
        {"pkcs11:object", "the path attribute \"object\" has no \"=\""},
        {"pkcs11:?s3cret", "a query attribute has no \"=\""},
        {"pkcs11:pin-value=s3cret", "pin-value is a query attribute: it goes after \"?\""},
        {"pkcs11:?token=a", "token is a path attribute: it goes before \"?\""},
        {"pkcs11:token=a;object=b;token=a", "token is given twice"},
        {"pkcs11:?pin-value=s3cret&pin-value=s3cret", "pin-value is given twice"},
        {"pkcs11:type=key", "type \"key\" is none of public, private, cert, secret-key and data"},
        {"pkcs11:type=", "type \"\" is none of"},
        {"pkcs11:slot-id=", "slot-id \"\" is no slot number"},
        {"pkcs11:slot-id=-1", "slot-id \"-1\" is no slot number"},
        {"pkcs11:slot-id=18446744073709551616", "slot-id 18446744073709551616 is too large"},
        {"pkcs11:library-version=2.x", "library-version \"2.x\" is no version such as 2 or 2.40"},
        {"pkcs11:library-version=.4", "library-version \".4\" is no version"},
        {"pkcs11:library-version=2.", "library-version \"2.\" is no version"},
        {"pkcs11:library-version=256", "library-version 256 is out of range: major and minor go up to 255"},
        {"pkcs11:library-version=1.256", "library-version 1.256 is out of range"},
        {"pkcs11:?pin-source=https://example.com/pin", "pin-source is a https: URI; only a file: URI or a path can be read"},
        {"pkcs11:?pin-source=file://host/pin", "pin-source names a file on the machine \"host\""},
        {"pkcs11:?pin-source=file://localhost", "pin-source names no file"},
        {"pkcs11:?pin-source=", "pin-source names no file"},
        {"pkcs11:?module-path=", "module-path is empty"},
    };
    for (const auto& row : rows) {
        try {
            Pkcs11Uri::parse(row.uri);
            ADD_FAILURE() << row.uri << " was read";
        } catch (const std::invalid_argument& refusal) {
            const std::string message = refusal.what();
            EXPECT_EQ(0u, message.find(row.message)) << row.uri << ": " << message;
            EXPECT_EQ(std::string::npos, message.find("s3cret")) << message;
        }
    }
    // The digits after the text given do not complete a "%".
    EXPECT_THROW(Pkcs11Uri::parse(std::string_view("pkcs11:id=%4142", 12)), std::invalid_argument);
}

TEST(Pkcs11Uri, WritesWhatItReadsBackPercentEncodedAsTheRFCSays) {
    const unsigned char id[] = {0x00, 0x41, 0xff};
    const struct {
        Pkcs11Uri uri;
        const char* text;
    } rows[] = {
        {{}, "pkcs11:"},
        // The RFC's example, its PIN left out.
        {{.token = "Software PKCS#11 softtoken", .manufacturer = "Snake Oil, Inc.", .pinValue = ZEPBuffer(7, "the-pin")},
         "pkcs11:token=Software%20PKCS%2311%20softtoken;manufacturer=Snake%20Oil,%20Inc."},
        {{.serial = "", .object = "a;b/c?d%e&f=g \xC3\xA1", .id = ZEPBuffer(sizeof id, id), .type = CKO_PRIVATE_KEY},
         "pkcs11:serial=;object=a%3Bb%2Fc%3Fd%25e&f=g%20%C3%A1;id=%00%41%FF;type=private"},
        {{.model = "x", .slotId = 7, .slotDescription = "d", .slotManufacturer = "m", .libraryDescription = "l",
          .libraryManufacturer = "lm", .libraryVersion = CK_VERSION{2, 40}, .type = CKO_CERTIFICATE,
          .pinSource = "/etc/pin&x?|", .modulePath = "/usr/lib/lib.so", .moduleName = "my module"},
         "pkcs11:model=x;slot-id=7;slot-description=d;slot-manufacturer=m;library-description=l;"
         "library-manufacturer=lm;library-version=2.40;type=cert?pin-source=/etc/pin%26x?|&module-path=/usr/lib/lib.so"
         "&module-name=my%20module"},
        {{.type = CKO_PUBLIC_KEY}, "pkcs11:type=public"},
        {{.type = CKO_SECRET_KEY}, "pkcs11:type=secret-key"},
        {{.type = CKO_DATA}, "pkcs11:type=data"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text, row.uri.format());
        Pkcs11Uri withoutPin = row.uri;
        withoutPin.pinValue.reset();
        EXPECT_EQ(fields(withoutPin), fields(Pkcs11Uri::parse(row.text))) << row.text;
    }
    EXPECT_THROW(Pkcs11Uri{.type = CKO_VENDOR_DEFINED}.format(), std::invalid_argument);
}

}  // namespace
