// A PIN a command needs: from its option, else from the URI of --uri when
// the command takes the PIN from one, else from an environment
// variable, else typed at a prompt without echo (a line read from standard
// input when that is no terminal; a trailing carriage return is dropped).
// PINs are held in wiping buffers and are never printed.
#ifndef KEYDB_PINOPTION_H
#define KEYDB_PINOPTION_H

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "choice/urioption.h"
#include "zepbuffer.h"

// Overwrites `text` with zeros and empties it.
void wipeText(std::string& text);
// Wipes an option's variable and CLI11's copies of what was typed after it.
void wipeOptionText(std::string& value, const CLI::Option& option);

class PinOption {
public:
    // Whether a PIN typed at a terminal must be typed twice: for new PINs.
    enum class Entry { once, twice };

    // Adds `option` (such as "--pin") to the command's options; with `uri`,
    // the URI's PIN stands in for it.
    PinOption(CLI::App& command, const std::string& option, std::string variable, std::string prompt,
              const std::string& description, Entry entry = Entry::once, UriOption* uri = nullptr);
    PinOption(const PinOption&) = delete;
    PinOption& operator=(const PinOption&) = delete;
    ~PinOption();

    // The PIN from the option, the URI or the environment, if one gives it.
    std::optional<ZEPBuffer> given() const;
    // Asks for the PIN, once: a later call gives the same answer. None
    // when the answer is empty. A new PIN (Entry::twice) is read twice,
    // from a terminal or from standard input, and the two must agree.
    std::optional<ZEPBuffer> ask();
    // given(), else ask(); throws std::runtime_error when neither gives one.
    ZEPBuffer get();

    // Whether standard input is a terminal someone could type a PIN at.
    static bool canPrompt();

private:
    std::string value_;
    // CLI11 keeps its own copy of what was typed after the option.
    CLI::Option* option_;
    std::string variable_;
    std::string prompt_;
    Entry entry_;
    UriOption* uri_;
    bool asked_ = false;
    std::optional<ZEPBuffer> answer_;
};

#endif
