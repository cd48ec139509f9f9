#include "commands/speedcommand.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "raw/rawsigner.h"

namespace {

constexpr unsigned int threadLimit = 64;
// The longest turn of one side.
constexpr double roundSeconds = 0.25;
const std::string message(100, 'm');

// Signatures made by one side, and the time they took.
struct Tally {
    unsigned long signatures = 0;
    double seconds = 0;
    double rate() const { return signatures / seconds; }
};

// `threads` threads call `signOnce(thread)` for `seconds`, each at least
// once. The first failure of any thread stops them all and is thrown once
// all have ended.
void signFor(Tally& tally, unsigned int threads, double seconds, const std::function<void(unsigned int)>& signOnce) {
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> failed{false};
    std::atomic<unsigned long> signatures{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    {
        std::vector<std::jthread> running;
        for (unsigned int thread = 0; thread < threads; ++thread)
            running.emplace_back([&, thread] {
                try {
                    unsigned long count = 0;
                    do {
                        signOnce(thread);
                        ++count;
                    } while (!failed && Clock::now() < end);
                    signatures += count;
                } catch (...) {
                    std::lock_guard lock(failureMutex);
                    if (!failure) failure = std::current_exception();
                    failed = true;
                }
            });
    }
    if (failure) std::rethrow_exception(failure);
    tally.signatures += signatures;
    tally.seconds += std::chrono::duration<double>(Clock::now() - start).count();
}

CLI::Validator between(double low, double high) {
    return CLI::Validator(
        [low, high](const std::string& text) {
            double value = 0;
            if (!CLI::detail::lexical_cast(text, value) || !(value >= low && value <= high))
                return "must be between " + CLI::detail::to_string(low) + " and " + CLI::detail::to_string(high);
            return std::string();
        },
        "", "range");
}

}  // namespace

SpeedCommand::SpeedCommand(CLI::App& app)
    : TokenCommand(app, "speed",
                   "Sign 100-byte messages through the module and through raw Cryptoki; print both rates and "
                   "their ratio",
                   0, Access::read),
      pin_(options(), "--pin", "KEYDB_PIN", "User PIN", "User PIN", PinOption::Entry::once, &uri()),
      key_(options(), uri()),
      digest_(options(), DigestChoice::Md5::offered) {
    options()
        .add_option("--seconds", seconds_, "How long each side signs, 0.01 to 3600 (default: 3)")
        ->type_name("S")
        ->check(between(0.01, 3600));
    options()
        .add_option("--threads", threads_, "How many threads sign at once, each in its own session, 1 to 64 "
                                           "(default: 1)")
        ->type_name("N")
        ->check(between(1, threadLimit));
    options().add_flag("--json", json_, "Print one JSON object");
}

void SpeedCommand::runOn(ModuleSession& session, ZEPSlotManager& slot) {
    const ZEPBuffer pin = pin_.get();
    slot.login(pin);
    const ZEPKRYKey key = key_.privateKey(slot, session.diagnostics())->getKey();

    // Everything a thread needs is made before the clock starts. The module
    // side: a slot manager, factory and signature algorithm per thread.
    std::vector<std::unique_ptr<ZEPSlotManager>> slots;
    std::vector<std::unique_ptr<ZEPKRYAlgorithmFactory>> factories;
    std::vector<std::unique_ptr<ZEPKRYSignatureAlgorithm>> moduleSigners;
    for (unsigned int thread = 0; thread < threads_; ++thread) {
        slots.push_back(session.openSlot(slot.getSlotId(), 0));
        factories.emplace_back(slots.back()->getZEPKRYAlgorithmFactory());
        moduleSigners.push_back(digest_.signer(*factories.back(), key));
    }
    // The raw side: the same library and key, a session per thread. All are
    // opened before any signs and closed after all have ended, so a login
    // one of them made lasts while the others sign.
    RawCryptoki cryptoki(session.cryptokiPath());
    const ZEPBuffer id = ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getObjectId();
    std::vector<std::unique_ptr<RawSigner>> rawSigners;
    for (unsigned int thread = 0; thread < threads_; ++thread)
        rawSigners.push_back(std::make_unique<RawSigner>(cryptoki, slot.getSlotId(), pin, id, digest_.mechanism(key)));

    const ZEPBuffer data(message.size(), message.data());
    Tally module, raw;
    for (double left = seconds_; left > 0; left -= roundSeconds) {
        const double turn = std::min(left, roundSeconds);
        signFor(module, threads_, turn, [&](unsigned int thread) {
            // The module's exceptions go on as std::runtime_error: none may
            // outlive the session.
            session.run([&] { moduleSigners[thread]->signData(data.get()); });
        });
        signFor(raw, threads_, turn, [&](unsigned int thread) { rawSigners[thread]->sign(data); });
    }

    Output output(format());
    output.field("Module", "module", module.rate(), 1, " signatures/s");
    output.field("Raw Cryptoki", "raw", raw.rate(), 1, " signatures/s");
    output.field("Ratio", "ratio", module.rate() / raw.rate(), 3);
    output.field("Threads", "threads", static_cast<unsigned long>(threads_));
    output.print(std::cout);
}
