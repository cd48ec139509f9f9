#include "choice/pkcs11uri.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <stdexcept>

namespace {

constexpr std::string_view SCHEME = "pkcs11:";

// Where an attribute goes: the path (before "?") or the query (after it).
enum class Component { path, query };

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The characters a value holds as they are, all others percent-encoded:
// RFC 3986's unreserved characters and pk11-res-avail, with "&" in the path
// (pk11-pchar) and "/", "?" and "|" in the query (pk11-qchar), where "&"
// separates the attributes.
bool standsAsIs(unsigned char c, Component component) {
    if (isAsciiLetter(c) || isDigit(c) || std::string_view("-._~:[]@!$'()*+,=").find(c) != std::string_view::npos)
        return true;
    return component == Component::path ? c == '&' : std::string_view("/?|").find(c) != std::string_view::npos;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return (isAsciiLetter(a) ? a | 0x20 : a) == (isAsciiLetter(b) ? b | 0x20 : b);
           });
}

bool equalIgnoringCase(std::string_view text, std::string_view other) {
    return text.size() == other.size() && startsWithIgnoringCase(text, other);
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string percentEncoded(unsigned char c) {
    const char* digits = "0123456789ABCDEF";
    return {'%', digits[c >> 4], digits[c & 15]};
}

int hexValue(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes of a percent-encoded value, in wiping storage: it may be a PIN,
// which no message quotes.
ZEPBuffer decoded(std::string_view name, std::string_view value, Component component) {
    const bool secret = name == "pin-value";
    ZEPBuffer bytes;
    for (size_t i = 0; i < value.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value[i]);
        if (c == '%') {
            const int high = i + 2 < value.size() ? hexValue(value[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(value[i + 2]) : -1;
            if (low < 0)
                throw std::invalid_argument("malformed percent-encoding in " + std::string(name) +
                                            ": \"%\" must be followed by two hexadecimal digits");
            c = static_cast<unsigned char>(high << 4 | low);
            i += 2;
        } else if (!standsAsIs(c, component)) {
            throw std::invalid_argument(secret ? std::string(name) + " holds a character that must be percent-encoded"
                                               : std::string(name) + " holds " + quoted(value.substr(i, 1)) +
                                                     ", which must be percent-encoded as " + percentEncoded(c));
        }
        bytes.append(1, &c);
    }
    return bytes;
}

std::string text(const ZEPBuffer& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.getValue()), bytes.getLength());
}

// `value` percent-encoded for `component`; with `everyByte` each byte is.
std::string encoded(std::string_view value, Component component, bool everyByte) {
    std::string out;
    for (char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        out += !everyByte && standsAsIs(byte, component) ? std::string(1, c) : percentEncoded(byte);
    }
    return out;
}

// A decimal number of at most `limit`; none when `digits` is none.
std::optional<unsigned long> number(std::string_view digits, unsigned long limit, const std::string& tooLarge) {
    unsigned long value = 0;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return isDigit(c); }))
        return std::nullopt;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc::result_out_of_range ||
        value > limit)
        throw std::invalid_argument(tooLarge);
    return value;
}

const struct {
    std::string_view name;
    CK_OBJECT_CLASS objectClass;
} objectTypes[] = {{"public", CKO_PUBLIC_KEY},
                   {"private", CKO_PRIVATE_KEY},
                   {"cert", CKO_CERTIFICATE},
                   {"secret-key", CKO_SECRET_KEY},
                   {"data", CKO_DATA}};

void readType(Pkcs11Uri& uri, const ZEPBuffer& value) {
    const std::string name = text(value);
    for (const auto& type : objectTypes)
        if (type.name == name) {
            uri.type = type.objectClass;
            return;
        }
    throw std::invalid_argument("type " + quoted(name) + " is none of public, private, cert, secret-key and data");
}

std::optional<std::string> writeType(const Pkcs11Uri& uri) {
    if (!uri.type) return std::nullopt;
    for (const auto& type : objectTypes)
        if (type.objectClass == *uri.type) return std::string(type.name);
    throw std::invalid_argument("object class " + std::to_string(*uri.type) + " has no pkcs11: URI type");
}

void readSlotId(Pkcs11Uri& uri, const ZEPBuffer& value) {
    const std::string digits = text(value);
    uri.slotId = number(digits, CK_SLOT_ID(-1), "slot-id " + digits + " is too large");
    if (!uri.slotId) throw std::invalid_argument("slot-id " + quoted(digits) + " is no slot number");
}

std::optional<std::string> writeSlotId(const Pkcs11Uri& uri) {
    return uri.slotId ? std::optional(std::to_string(*uri.slotId)) : std::nullopt;
}

// "major" or "major.minor", each a number up to 255 as in CK_VERSION.
void readVersion(Pkcs11Uri& uri, const ZEPBuffer& value) {
    const std::string version = text(value);
    const size_t dot = version.find('.');
    const std::string tooLarge = "library-version " + version + " is out of range: major and minor go up to 255";
    const auto major = number(std::string_view(version).substr(0, dot), 255, tooLarge);
    const auto minor = dot == std::string::npos ? std::optional(0UL)
                                                : number(std::string_view(version).substr(dot + 1), 255, tooLarge);
    if (!major || !minor)
        throw std::invalid_argument("library-version " + quoted(version) + " is no version such as 2 or 2.40");
    uri.libraryVersion = CK_VERSION{static_cast<CK_BYTE>(*major), static_cast<CK_BYTE>(*minor)};
}

std::optional<std::string> writeVersion(const Pkcs11Uri& uri) {
    if (!uri.libraryVersion) return std::nullopt;
    return std::to_string(uri.libraryVersion->major) + "." + std::to_string(uri.libraryVersion->minor);
}

void readId(Pkcs11Uri& uri, const ZEPBuffer& value) { uri.id = value; }

std::optional<std::string> writeId(const Pkcs11Uri& uri) {
    return uri.id ? std::optional(text(*uri.id)) : std::nullopt;
}

void readPinValue(Pkcs11Uri& uri, const ZEPBuffer& value) { uri.pinValue = value; }

// A file: URI of this machine ("file:/path", "file:///path",
// "file://localhost/path") or a path as it stands.
void readPinSource(Pkcs11Uri& uri, const ZEPBuffer& value) {
    const std::string source = text(value);
    std::string_view path = source;
    if (startsWithIgnoringCase(path, "file:")) {
        path.remove_prefix(5);
        if (path.starts_with("//")) {
            const size_t slash = path.find('/', 2);
            const std::string_view host = path.substr(2, slash - 2);
            if (!host.empty() && !equalIgnoringCase(host, "localhost"))
                throw std::invalid_argument("pin-source names a file on the machine " + quoted(host) +
                                            "; only files of this machine can be read");
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
        }
    } else {
        // Another URI scheme ("https:", "env:"): letters before a colon,
        // more than one, for "C:" is a drive of a path.
        const size_t colon = path.find(':');
        const std::string_view scheme = path.substr(0, colon);
        if (colon != std::string_view::npos && colon > 1 &&
            std::all_of(scheme.begin(), scheme.end(), [](char c) { return isAsciiLetter(c); }))
            throw std::invalid_argument("pin-source is a " + std::string(scheme) +
                                        ": URI; only a file: URI or a path can be read");
    }
    if (path.empty()) throw std::invalid_argument("pin-source names no file");
    uri.pinSource = std::string(path);
}

void readModulePath(Pkcs11Uri& uri, const ZEPBuffer& value) {
    if (value.empty()) throw std::invalid_argument("module-path is empty");
    uri.modulePath = text(value);
}

template <std::optional<std::string> Pkcs11Uri::*member>
void readText(Pkcs11Uri& uri, const ZEPBuffer& value) {
    uri.*member = text(value);
}

template <std::optional<std::string> Pkcs11Uri::*member>
std::optional<std::string> writeText(const Pkcs11Uri& uri) {
    return uri.*member;
}

struct Attribute {
    std::string_view name;
    Component component;
    void (*read)(Pkcs11Uri&, const ZEPBuffer&);
    // The value to write, before encoding; none when it is not set. The
    // PIN has none: it is never written.
    std::optional<std::string> (*write)(const Pkcs11Uri&);
    // CKA_ID is bytes, written each as %XX.
    bool everyByte = false;
};

// In the order in which they are written.
const Attribute attributes[] = {
    {"token", Component::path, readText<&Pkcs11Uri::token>, writeText<&Pkcs11Uri::token>},
    {"manufacturer", Component::path, readText<&Pkcs11Uri::manufacturer>, writeText<&Pkcs11Uri::manufacturer>},
    {"serial", Component::path, readText<&Pkcs11Uri::serial>, writeText<&Pkcs11Uri::serial>},
    {"model", Component::path, readText<&Pkcs11Uri::model>, writeText<&Pkcs11Uri::model>},
    {"slot-id", Component::path, readSlotId, writeSlotId},
    {"slot-description", Component::path, readText<&Pkcs11Uri::slotDescription>,
     writeText<&Pkcs11Uri::slotDescription>},
    {"slot-manufacturer", Component::path, readText<&Pkcs11Uri::slotManufacturer>,
     writeText<&Pkcs11Uri::slotManufacturer>},
    {"library-description", Component::path, readText<&Pkcs11Uri::libraryDescription>,
     writeText<&Pkcs11Uri::libraryDescription>},
    {"library-manufacturer", Component::path, readText<&Pkcs11Uri::libraryManufacturer>,
     writeText<&Pkcs11Uri::libraryManufacturer>},
    {"library-version", Component::path, readVersion, writeVersion},
    {"object", Component::path, readText<&Pkcs11Uri::object>, writeText<&Pkcs11Uri::object>},
    {"id", Component::path, readId, writeId, true},
    {"type", Component::path, readType, writeType},
    {"pin-value", Component::query, readPinValue, nullptr},
    {"pin-source", Component::query, readPinSource, writeText<&Pkcs11Uri::pinSource>},
    {"module-path", Component::query, readModulePath, writeText<&Pkcs11Uri::modulePath>},
    {"module-name", Component::query, readText<&Pkcs11Uri::moduleName>, writeText<&Pkcs11Uri::moduleName>},
};

// Reads one "name=value" of `component` into `uri`; `seen` holds the names
// read before.
void readAttribute(Pkcs11Uri& uri, std::string_view element, Component component, std::set<std::string_view>& seen) {
    const size_t equals = element.find('=');
    if (equals == std::string_view::npos)
        // A query element might be a PIN typed without its name.
        throw std::invalid_argument(component == Component::path
                                        ? "the path attribute " + quoted(element) + " has no \"=\""
                                        : "a query attribute has no \"=\"");
    const std::string_view name = element.substr(0, equals);
    const auto attribute = std::find_if(std::begin(attributes), std::end(attributes),
                                        [&](const Attribute& known) { return known.name == name; });
    if (attribute == std::end(attributes)) {
        if (component == Component::query) return;
        throw std::invalid_argument("unknown path attribute " + quoted(name));
    }
    if (attribute->component != component)
        throw std::invalid_argument(std::string(name) +
                                    (component == Component::path ? " is a query attribute: it goes after \"?\""
                                                                  : " is a path attribute: it goes before \"?\""));
    if (!seen.insert(name).second) throw std::invalid_argument(std::string(name) + " is given twice");
    attribute->read(uri, decoded(name, element.substr(equals + 1), component));
}

// Reads each non-empty element of `list`, separated by `separator`.
void readAttributes(Pkcs11Uri& uri, std::string_view list, char separator, Component component,
                    std::set<std::string_view>& seen) {
    while (!list.empty()) {
        const size_t end = std::min(list.find(separator), list.size());
        if (end > 0) readAttribute(uri, list.substr(0, end), component, seen);
        list.remove_prefix(std::min(end + 1, list.size()));
    }
}

}  // namespace

Pkcs11Uri Pkcs11Uri::parse(std::string_view text) {
    if (!startsWithIgnoringCase(text, SCHEME))
        throw std::invalid_argument("a PKCS#11 URI starts with " + quoted(SCHEME));
    text.remove_prefix(SCHEME.size());
    const size_t question = std::min(text.find('?'), text.size());
    Pkcs11Uri uri;
    std::set<std::string_view> seen;
    readAttributes(uri, text.substr(0, question), ';', Component::path, seen);
    readAttributes(uri, text.substr(std::min(question + 1, text.size())), '&', Component::query, seen);
    return uri;
}

Pkcs11Uri Pkcs11Uri::ofToken(const CK_TOKEN_INFO& token) {
    const auto text = [](const auto& field) {
        std::string_view value(reinterpret_cast<const char*>(field), sizeof field);
        return std::string(value.substr(0, value.find_last_not_of(' ') + 1));
    };
    Pkcs11Uri uri;
    uri.token = text(token.label);
    uri.manufacturer = text(token.manufacturerID);
    uri.serial = text(token.serialNumber);
    uri.model = text(token.model);
    return uri;
}

std::string Pkcs11Uri::format() const {
    std::string path, query;
    for (const Attribute& attribute : attributes) {
        const std::optional<std::string> value = attribute.write ? attribute.write(*this) : std::nullopt;
        if (!value) continue;
        const bool inPath = attribute.component == Component::path;
        std::string& list = inPath ? path : query;
        if (!list.empty()) list += inPath ? ';' : '&';
        list += std::string(attribute.name) + "=" + encoded(*value, attribute.component, attribute.everyByte);
    }
    return std::string(SCHEME) + path + (query.empty() ? "" : "?" + query);
}
