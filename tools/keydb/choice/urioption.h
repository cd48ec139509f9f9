// --uri URI: a pkcs11: URI that names in one text what other options name
// one by one: the library (module-path, as --library), the token (token,
// manufacturer, serial, model, slot-id, slot-description, slot-manufacturer,
// as --slot and --token), the item (object, id and type, as --label and
// --id) and the user PIN (pin-value as --pin, or pin-source, a file whose
// first line is the PIN). The choices of a command declare the parts they
// take and the options each part replaces: a URI with a part the command
// takes not, or beside an option its part replaces, is a usage error.
#ifndef KEYDB_URIOPTION_H
#define KEYDB_URIOPTION_H

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "choice/pkcs11uri.h"

class UriOption {
public:
    enum class Part { library, token, object, pin };

    explicit UriOption(CLI::App& command);
    UriOption(const UriOption&) = delete;
    UriOption& operator=(const UriOption&) = delete;
    // Wipes the text given: it may hold a PIN.
    ~UriOption();

    // The command takes `part` of a URI in place of `options`.
    void takes(Part part, std::vector<const CLI::Option*> options);

    // The URI given, when one was.
    const std::optional<Pkcs11Uri>& uri() const { return uri_; }
    // Whether the URI given has an attribute of `part`.
    bool names(Part part) const;
    // The PIN of pin-value, or the first line of the pin-source file; none
    // when the URI gives neither. Throws std::runtime_error when the file
    // cannot be read or its first line is empty.
    std::optional<ZEPBuffer> pin() const;

private:
    // Reads `text` into uri_; the reason when it is refused.
    std::string accept(const std::string& text);

    std::string text_;
    CLI::Option* option_;
    std::optional<Pkcs11Uri> uri_;
    struct Taken {
        Part part;
        std::vector<const CLI::Option*> options;
    };
    std::vector<Taken> taken_;
};

#endif
