// A PKCS#11 URI (RFC 7512): the library, slot, token and object a command
// means and where the PIN comes from, read from its text form and written
// back to it.
//
// Path attributes (after "pkcs11:", separated by ";"): token, manufacturer,
// serial, model (of CK_TOKEN_INFO), slot-id, slot-description,
// slot-manufacturer (CK_SLOT_INFO), library-description,
// library-manufacturer, library-version (CK_INFO), object (CKA_LABEL), id
// (CKA_ID) and type (CKA_CLASS). Query attributes (after "?", separated by
// "&"): pin-value, pin-source, module-path and module-name. Values are
// percent-encoded; an attribute left out matches anything, one given empty
// (such as "serial=") matches only an empty value.
#ifndef KEYDB_PKCS11URI_H
#define KEYDB_PKCS11URI_H

#include <optional>
#include <string>
#include <string_view>

#include "cryptoki.h"
#include "zepbuffer.h"

class Pkcs11Uri {
public:
    // Reads `text`. Throws std::invalid_argument, naming the attribute at
    // fault, when it is no pkcs11: URI, an attribute has no "=", a value is
    // malformed (a "%" without two hexadecimal digits after it, a character
    // that must be percent-encoded), a path attribute is unknown, an
    // attribute is given twice, a type is none of public, private, cert,
    // secret-key and data, a slot-id no decimal CK_SLOT_ID, a
    // library-version no "major[.minor]" of numbers up to 255, a pin-source
    // neither a path nor a file: URI of this machine, or a module-path
    // empty. Query attributes of other names are passed over, as the RFC
    // lets vendors add their own. No message quotes the PIN.
    static Pkcs11Uri parse(std::string_view text);
    // The URI of a token: its label, manufacturer, serial number and model,
    // each without its blank padding.
    static Pkcs11Uri ofToken(const CK_TOKEN_INFO& token);

    // The URI: the attributes that are set, in the order of the members
    // below; text values percent-encoded where the RFC asks for it, every
    // id byte as %XX. The PIN is never written. Throws
    // std::invalid_argument for a type of no URI name.
    std::string format() const;

    std::optional<std::string> token{};
    std::optional<std::string> manufacturer{};
    std::optional<std::string> serial{};
    std::optional<std::string> model{};
    std::optional<CK_SLOT_ID> slotId{};
    std::optional<std::string> slotDescription{};
    std::optional<std::string> slotManufacturer{};
    std::optional<std::string> libraryDescription{};
    std::optional<std::string> libraryManufacturer{};
    std::optional<CK_VERSION> libraryVersion{};
    std::optional<std::string> object{};
    std::optional<ZEPBuffer> id{};
    // CKO_PUBLIC_KEY, CKO_PRIVATE_KEY, CKO_CERTIFICATE, CKO_SECRET_KEY or
    // CKO_DATA.
    std::optional<CK_OBJECT_CLASS> type{};

    // Held in wiping storage.
    std::optional<ZEPBuffer> pinValue{};
    // The file that holds the PIN: the path a file: URI names, or the
    // value as it stands.
    std::optional<std::string> pinSource{};
    std::optional<std::string> modulePath{};
    std::optional<std::string> moduleName{};
};

#endif
