#include "choice/pinoption.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace {

ZEPBuffer bytes(const std::string& text) { return ZEPBuffer(text.size(), text.data()); }

// The signals that end keydb while it waits at a prompt.
constexpr std::array<int, 4> endingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal settings to restore, for the signal handler.
termios savedTerminal{};

// Restores the terminal, then lets the signal end the process as it would
// have without keydb's handler.
extern "C" void restoreAndEnd(int signal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Terminal echo off while this lives, when standard input is a terminal;
// the terminal is restored on every way out, a signal that ends keydb
// included.
class EchoOff {
public:
    EchoOff() : active_(tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
        if (!active_) return;
        struct sigaction restore {};
        restore.sa_handler = restoreAndEnd;
        sigemptyset(&restore.sa_mask);
        for (std::size_t i = 0; i < endingSignals.size(); ++i) sigaction(endingSignals[i], &restore, &previous_[i]);
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        if (!active_) return;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        for (std::size_t i = 0; i < endingSignals.size(); ++i) sigaction(endingSignals[i], &previous_[i], nullptr);
        // The Enter that ended the PIN was not echoed either.
        std::cerr << '\n';
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool active_;
    std::array<struct sigaction, endingSignals.size()> previous_{};
};

// One line typed after `prompt` (no prompt when standard input is no
// terminal), without its line end. Echo goes off before the prompt appears,
// so nothing typed once the prompt shows is echoed or discarded.
std::string readLine(const std::string& prompt) {
    std::string typed;
    EchoOff echoOff;
    if (PinOption::canPrompt()) std::cerr << prompt << ": " << std::flush;
    std::getline(std::cin, typed);
    if (!typed.empty() && typed.back() == '\r') typed.pop_back();
    return typed;
}

}  // namespace

void wipeText(std::string& text) {
    volatile char* data = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) data[i] = 0;
    text.clear();
}

void wipeOptionText(std::string& value, const CLI::Option& option) {
    wipeText(value);
    // The option's results are CLI11's strings, not constants: wiping them
    // in place leaves them empty.
    for (const std::string& result : option.results()) wipeText(const_cast<std::string&>(result));
}

PinOption::PinOption(CLI::App& command, const std::string& option, std::string variable, std::string prompt,
                     const std::string& description, Entry entry, UriOption* uri)
    : option_(command.add_option(option, value_, description + " (else $" + variable + ", else asked for)")),
      variable_(std::move(variable)),
      prompt_(std::move(prompt)),
      entry_(entry),
      uri_(uri) {
    option_->type_name("PIN");
    if (uri_) uri_->takes(UriOption::Part::pin, {option_});
}

PinOption::~PinOption() { wipeOptionText(value_, *option_); }

std::optional<ZEPBuffer> PinOption::given() const {
    if (!value_.empty()) return bytes(value_);
    if (uri_)
        if (std::optional<ZEPBuffer> pin = uri_->pin()) return pin;
    const char* environment = std::getenv(variable_.c_str());
    if (environment && *environment) return bytes(environment);
    return std::nullopt;
}

std::optional<ZEPBuffer> PinOption::ask() {
    if (asked_) return answer_;
    std::string typed = readLine(prompt_);
    asked_ = true;
    if (typed.empty()) return std::nullopt;
    if (entry_ == Entry::twice) {
        std::string again = readLine(prompt_ + " (again)");
        const bool missing = std::cin.fail();
        const bool same = again == typed;
        wipeText(again);
        if (!same) {
            wipeText(typed);
            if (canPrompt())
                throw std::runtime_error(missing ? "the PIN was not typed again" : "the two PINs typed differ");
            throw std::runtime_error(std::string("a new PIN is read twice from standard input, one line each, and ") +
                                     (missing ? "the second line is missing" : "the two lines differ"));
        }
    }
    answer_ = bytes(typed);
    wipeText(typed);
    return answer_;
}

ZEPBuffer PinOption::get() {
    if (auto pin = given()) return *pin;
    if (auto pin = ask()) return *pin;
    throw std::runtime_error(prompt_ + " not given");
}

bool PinOption::canPrompt() { return isatty(STDIN_FILENO) == 1; }
