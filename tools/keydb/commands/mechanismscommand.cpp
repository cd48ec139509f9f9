#include "commands/mechanismscommand.h"

#include <iostream>
#include <map>
#include <sstream>

namespace {

// CKM_MAYFLY_KEY_PAIR_GEN and CKM_MAYFLY_KEY_DERIVE in v2.01.
const std::map<std::string, std::string> laterNames = {
    {"0x00001050", "CKM_ECDH1_DERIVE"},
    {"0x00001051", "CKM_ECDH1_COFACTOR_DERIVE"},
};

// Standard output goes to `text` while this lives.
class CapturedStandardOutput {
public:
    explicit CapturedStandardOutput(std::ostringstream& text) : saved_(std::cout.flush().rdbuf(text.rdbuf())) {}
    ~CapturedStandardOutput() { std::cout.rdbuf(saved_); }
    CapturedStandardOutput(const CapturedStandardOutput&) = delete;
    CapturedStandardOutput& operator=(const CapturedStandardOutput&) = delete;

private:
    std::streambuf* saved_;
};

// " Mechanism: 0x00001050 flags=0x00080000  NAME" with NAME the later one
// where there is one.
std::string withLaterName(const std::string& line) {
    const std::size_t value = line.find("0x");
    const std::size_t name = line.find("  ", value);
    if (value == std::string::npos || name == std::string::npos) return line;
    const auto later = laterNames.find(line.substr(value, 10));
    return later == laterNames.end() ? line : line.substr(0, name + 2) + later->second;
}

}  // namespace

MechanismsCommand::MechanismsCommand(CLI::App& app)
    : TokenCommand(app, "mechanisms", "List a token's mechanisms with their flags", 0, Access::read) {}

void MechanismsCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    std::ostringstream text;
    {
        CapturedStandardOutput captured(text);
        session.diagnostics().dumpMechanisms(slot);
    }
    std::istringstream lines(text.str());
    for (std::string line; std::getline(lines, line);) std::cout << withLaterName(line) << '\n';
}
