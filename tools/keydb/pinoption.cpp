#include "pinoption.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace {

ZEPBuffer bytes(const std::string& text) { return ZEPBuffer(text.size(), text.data()); }

void wipe(std::string& text) {
    volatile char* data = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) data[i] = 0;
    text.clear();
}

// Terminal echo off while this lives, when standard input is a terminal.
class EchoOff {
public:
    EchoOff() : active_(tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!active_) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        if (!active_) return;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
        // The Enter that ended the PIN was not echoed either.
        std::cerr << '\n';
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};
    bool active_;
};

}  // namespace

PinOption::PinOption(CLI::App& command, const std::string& option, std::string variable, std::string prompt,
                     const std::string& description)
    : variable_(std::move(variable)), prompt_(std::move(prompt)) {
    command.add_option(option, value_, description + " (else $" + variable_ + ", else asked for)")->type_name("PIN");
}

PinOption::~PinOption() { wipe(value_); }

std::optional<ZEPBuffer> PinOption::given() const {
    if (!value_.empty()) return bytes(value_);
    const char* environment = std::getenv(variable_.c_str());
    if (environment && *environment) return bytes(environment);
    return std::nullopt;
}

ZEPBuffer PinOption::get() const {
    if (auto pin = given()) return *pin;
    std::string typed;
    {
        if (canPrompt()) std::cerr << prompt_ << ": " << std::flush;
        EchoOff echoOff;
        std::getline(std::cin, typed);
    }
    if (typed.empty()) throw std::runtime_error(prompt_ + " not given");
    ZEPBuffer pin = bytes(typed);
    wipe(typed);
    return pin;
}

bool PinOption::canPrompt() { return isatty(STDIN_FILENO) == 1; }
