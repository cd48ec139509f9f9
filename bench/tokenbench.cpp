// The module against raw Cryptoki on one SoftHSM2 token: signatures with
// one key pair (1 and 2 threads), label lookups, certificate iteration and
// pair listings on tokens of 10, 100 and 1,000 pairs. Each benchmark has
// its raw twin right beside it; their ratio is the figure that counts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "asn/asn_string.h"
#include "asn/x509_certificate.h"
#include "asn/zepasnutility.h"
#include "keystore/zepcertitem.h"
#include "keystore/zepkeycertitem.h"
#include "keystore/zepkeyitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "pkcs11client.h"
#include "pkcs11manager.h"
#include "raw/rawsigner.h"
#include "slotmanager.h"
#include "softhsmtoken.h"
#include "tokencache.h"
#include "zepobject.h"

namespace {

const ZEPBuffer kMessage(100, std::string(100, 'm').data());

ZEPBuffer readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot read " + path);
    std::string bytes;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
    std::fclose(file);
    return ZEPBuffer(bytes.size(), bytes.data());
}

// A fresh SoftHSM2 token with `pairs` certificates, each with a private key
// object of the same CKA_ID and subject, plus one generated RSA-2048 key
// pair labelled "signer" for the signatures.
class BenchToken {
public:
    explicit BenchToken(int pairs)
        : manager_(std::make_unique<PKCS11Manager>(ZEPPKCS11ConnectInfo(SoftHSMToken::libraryPath().c_str()))) {
        slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(slotOf(token_.label()), 1)));
        slot_->login(ZEPBuffer(token_.userPin().size(), token_.userPin().data()));
        generateSigner();
        addPairs(pairs);
    }

    SlotManager& slot() { return *slot_; }
    PKCS11Manager& manager() { return *manager_; }
    CK_SLOT_ID slotId() { return slot_->getSlotId(); }
    ZEPKRYKey signerKey() {
        asn_UTF8String label;
        label.set_text("signer");
        std::unique_ptr<ZEPKeyItem> item(slot_->getItem(ZEPSlotManager::KeyUniqueIndex::LABEL, label));
        return item->getKey();
    }
    const std::string& userPin() const { return token_.userPin(); }

private:
    CK_SLOT_ID slotOf(const std::string& label) {
        std::vector<CK_SLOT_ID> slots;
        manager_->getClient()->getSlotList(slots, true);
        for (CK_SLOT_ID slot : slots) {
            CK_TOKEN_INFO info = {};
            manager_->getClient()->getTokenInfo(slot, &info);
            if (std::string(reinterpret_cast<const char*>(info.label), label.size()) == label) return slot;
        }
        throw std::runtime_error("no token " + label);
    }

    void generateSigner() {
        AttributeTemplate publicKey, privateKey;
        for (AttributeTemplate* key : {&publicKey, &privateKey}) {
            key->setBool(CKA_TOKEN, true);
            key->setText(CKA_LABEL, "signer");
            key->setAttribute(CKA_ID, ZEPBuffer(6, "signer"));
        }
        publicKey.setULong(CKA_MODULUS_BITS, 2048);
        publicKey.setAttribute(CKA_PUBLIC_EXPONENT, ZEPBuffer(3, "\x01\x00\x01"));
        privateKey.setBool(CKA_PRIVATE, true);
        privateKey.setBool(CKA_SIGN, true);
        CK_OBJECT_HANDLE publicHandle = 0;
        client().generateKeyPair(slot_->getSessionHandle(), CKM_RSA_PKCS_KEY_PAIR_GEN, publicKey, privateKey,
                                 publicHandle, signer_);
    }

    // One openssl key and certificate stand for every pair; the pairs
    // differ by CKA_ID, which is what ties a pair together on a token.
    void addPairs(int pairs) {
        const std::string key = token_.folder() + "/key.pem", cert = token_.folder() + "/cert.der";
        const std::string command = "openssl req -x509 -newkey rsa:1024 -nodes -subj /CN=Bench -days 1 -keyout " +
                                    key + " -outform DER -out " + cert + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed");
        const ZEPBuffer der = readFile(cert);
        x509_certificate certificate;
        ZEPASNUtility::setDEREncoding(der, certificate);
        const ZEPBuffer subject = ZEPASNUtility::getDEREncoding(certificate.get_subject());
        for (int i = 0; i < pairs; ++i) {
            const std::string label = "pair" + std::to_string(i);
            const ZEPBuffer id(label.size(), label.data());
            AttributeTemplate object;
            object.setULong(CKA_CLASS, CKO_CERTIFICATE);
            object.setULong(CKA_CERTIFICATE_TYPE, CKC_X_509);
            object.setBool(CKA_TOKEN, true);
            object.setText(CKA_LABEL, label.c_str());
            object.setAttribute(CKA_ID, id);
            object.setAttribute(CKA_SUBJECT, subject);
            object.setAttribute(CKA_VALUE, der);
            CK_OBJECT_HANDLE handle = 0;
            client().createObject(slot_->getSessionHandle(), object, handle);
            // The pair's private key: a copy of the signer's with the
            // pair's id, label and subject.
            AttributeTemplate copy;
            copy.setText(CKA_LABEL, label.c_str());
            copy.setAttribute(CKA_ID, id);
            copy.setAttribute(CKA_SUBJECT, subject);
            client().copyObject(slot_->getSessionHandle(), signer_, copy, handle);
        }
    }

    PKCS11Client& client() { return *manager_->getClient(); }

    SoftHSMToken token_;
    std::unique_ptr<PKCS11Manager> manager_;
    std::unique_ptr<SlotManager> slot_;
    CK_OBJECT_HANDLE signer_ = 0;
};

// Tokens live for the whole run: making one with 1,000 pairs takes a while.
std::map<int, std::unique_ptr<BenchToken>>& tokens() {
    static std::map<int, std::unique_ptr<BenchToken>> made;
    return made;
}

BenchToken& tokenWith(int pairs) {
    auto& token = tokens()[pairs];
    if (!token) token = std::make_unique<BenchToken>(pairs);
    return *token;
}

// Reports the client's Cryptoki calls per iteration as the counter
// "calls", so that a change in the calls an operation makes shows in the
// output. The threads of a benchmark share the client: the first thread
// divides the calls of all by the iterations of all.
class CallCounter {
public:
    CallCounter(benchmark::State& state, const PKCS11Client& client)
        : state_(state), client_(client), start_(client.callCount()) {}
    ~CallCounter() {
        if (state_.thread_index() != 0) return;
        const auto iterations = std::max<int64_t>(state_.iterations() * state_.threads(), 1);
        state_.counters["calls"] = static_cast<double>(client_.callCount() - start_) / static_cast<double>(iterations);
    }

private:
    benchmark::State& state_;
    const PKCS11Client& client_;
    uint64_t start_;
};

// Each thread signs through its own slot manager, so its own session.
void BM_ModuleSign(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    std::unique_ptr<ZEPSlotManager> slot(token.manager().getSlotManager(token.slotId(), 0));
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot->getZEPKRYAlgorithmFactory());
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(token.signerKey()));
    const CallCounter calls(state, *token.manager().getClient());
    for (auto _ : state) benchmark::DoNotOptimize(signer->signData(kMessage.get()));
    state.SetItemsProcessed(state.iterations());
}

// Each thread signs in a session of its own; the library is initialised
// already by the token's manager.
void BM_RawSign(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    RawCryptoki cryptoki(SoftHSMToken::libraryPath());
    const std::string& pin = token.userPin();
    RawSigner signer(cryptoki, token.slotId(), ZEPBuffer(pin.size(), pin.data()), ZEPBuffer(6, "signer"),
                     {CKM_SHA1_RSA_PKCS, ZEPKRYDigestType::SHA1});
    for (auto _ : state) benchmark::DoNotOptimize(signer.sign(kMessage));
    state.SetItemsProcessed(state.iterations());
}

// Steps the clock of the slot's kept reads a second on before each listing,
// so that every listing reads the token as the first one does. The stepped
// clock starts at the clock's epoch and only moves on, so what it kept is
// past its second for the real clock and for the next benchmark's listings.
class ColdListings {
public:
    explicit ColdListings(SlotManager& slot) : slot_(slot) {
        slot_.getTokenCache().setClock([] { return now_; });
    }
    ~ColdListings() { slot_.getTokenCache().setClock([] { return std::chrono::steady_clock::now(); }); }
    void next() { now_ += TokenCache::kConfirmationWindow; }

private:
    SlotManager& slot_;
    static inline std::chrono::steady_clock::time_point now_{};
};

// Pairs listed through the module's iterator, as `keydb list --pairs` does.
void BM_ModuleListPairs(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    const CallCounter calls(state, *token.manager().getClient());
    ColdListings cold(token.slot());
    for (auto _ : state) {
        cold.next();
        std::unique_ptr<ZEPSlotManager::Iterator> pairs(token.slot().getKeyCertIterator());
        int listed = 0;
        while (std::unique_ptr<ZEPKeyCertItem> pair{token.slot().getNextKeyCertItem(*pairs)}) ++listed;
        if (listed != state.range(0)) state.SkipWithError("pairs missing");
    }
}

// Every object with its class, label, id and value, read one by one as
// pkcs11-tool --list-objects does.
void BM_RawListObjects(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    PKCS11Client& client = *token.manager().getClient();
    CK_SESSION_HANDLE& session = token.slot().getSessionHandle();
    const CallCounter calls(state, client);
    for (auto _ : state) {
        AttributeTemplate all;
        std::vector<CK_OBJECT_HANDLE> objects;
        client.findObjects(session, all, objects);
        for (CK_OBJECT_HANDLE object : objects) {
            AttributeTemplate request, values;
            for (CK_ATTRIBUTE_TYPE type : {CKA_CLASS, CKA_LABEL, CKA_ID, CKA_SUBJECT, CKA_VALUE})
                request.addAttribute(type);
            client.getAttributeValue(session, object, request, values);
        }
    }
}

void BM_ModuleLookUpLabel(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    asn_UTF8String label;
    label.set_text("pair0");
    const CallCounter calls(state, *token.manager().getClient());
    for (auto _ : state) delete token.slot().getItem(ZEPSlotManager::CertUniqueIndex::LABEL, label);
}

void BM_RawFindLabel(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    PKCS11Client& client = *token.manager().getClient();
    const CallCounter calls(state, client);
    for (auto _ : state) {
        AttributeTemplate search;
        search.setULong(CKA_CLASS, CKO_CERTIFICATE);
        search.setText(CKA_LABEL, "pair0");
        std::vector<CK_OBJECT_HANDLE> objects;
        client.findObjects(token.slot().getSessionHandle(), search, objects);
    }
}

void BM_ModuleIterateCertificates(benchmark::State& state) {
    BenchToken& token = tokenWith(static_cast<int>(state.range(0)));
    const CallCounter calls(state, *token.manager().getClient());
    ColdListings cold(token.slot());
    for (auto _ : state) {
        cold.next();
        std::unique_ptr<ZEPSlotManager::Iterator> certificates(token.slot().getCertIterator());
        while (std::unique_ptr<ZEPCertItem> certificate{token.slot().getNextCertItem(*certificates)}) {
        }
    }
}

}  // namespace

BENCHMARK(BM_ModuleSign)->Arg(0)->Arg(1000)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_RawSign)->Arg(0)->Arg(1000)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_ModuleListPairs)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawListObjects)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModuleLookUpLabel)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFindLabel)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModuleIterateCertificates)->Arg(1000)->Unit(benchmark::kMillisecond);

// The tokens go before main returns: at exit the Cryptoki library may have
// torn itself down already.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tokens().clear();
    return 0;
}
