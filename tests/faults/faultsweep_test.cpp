// The fault sweep: every operation of the module on the test token, with
// each of its Cryptoki calls failed in turn by a session-losing value, a
// device failure, a removed device and the call's own typical failure; the
// first and the third close the call's session on the token, as they mean.
// Every time the right code must escape (none where the module accepts the
// value), the next operation on the same slot manager must work, and the
// token must hold exactly what the writes before the failed call left.
#include <iostream>
#include <set>

#include "asn/asn_x500name.h"
#include "asn/issuerandserialnumber.h"
#include "keydatabasewrites.h"
#include "keystore/zepcertitemcontainer.h"
#include "keystore/zepkeycertitemcontainer.h"
#include "keystore/zepkeycertreqitemcontainer.h"
#include "keystore/zepkeyitemcontainer.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "kry/zepkryrandomdatagenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "zeputility.h"

namespace {

// The code a failure of the function throws, by function group.
long familyOf(const std::string& function, CK_RV value) {
    static const std::map<std::string, long> families = {
        {"C_GetFunctionList", 577901}, {"C_Initialize", 577901},      {"C_Finalize", 577901},
        {"C_GetInfo", 577901},         {"C_GetSlotList", 577902},     {"C_GetSlotInfo", 577902},
        {"C_GetTokenInfo", 577903},    {"C_GetMechanismList", 577903}, {"C_GetMechanismInfo", 577903},
        {"C_SignInit", 577909},        {"C_Sign", 577909},            {"C_EncryptInit", 577906},
        {"C_Encrypt", 577906},         {"C_DecryptInit", 577907},     {"C_Decrypt", 577907},
        {"C_GenerateKeyPair", 577911}, {"C_SeedRandom", 577912},      {"C_GenerateRandom", 577912}};
    if (function == "C_OpenSession" && value == CKR_TOKEN_NOT_PRESENT) return 577008;
    if (const auto family = families.find(function); family != families.end()) return family->second;
    if (function == "C_OpenSession" || function == "C_GetSessionInfo" || function == "C_Login" ||
        function == "C_CloseSession")
        return 577904;
    return 577905;
}

// How each function fails on its own, when nothing is wrong with the device.
CK_RV typicalFailure(const std::string& function) {
    static const std::map<std::string, CK_RV> failures = {
        {"C_GetFunctionList", CKR_HOST_MEMORY},
        {"C_Initialize", CKR_CANT_LOCK},
        {"C_Finalize", CKR_CRYPTOKI_NOT_INITIALIZED},
        {"C_GetInfo", CKR_CRYPTOKI_NOT_INITIALIZED},
        {"C_GetSlotList", CKR_BUFFER_TOO_SMALL},
        {"C_GetSlotInfo", CKR_SLOT_ID_INVALID},
        {"C_GetTokenInfo", CKR_TOKEN_NOT_PRESENT},
        {"C_GetMechanismList", CKR_BUFFER_TOO_SMALL},
        {"C_GetMechanismInfo", CKR_MECHANISM_INVALID},
        {"C_OpenSession", CKR_TOKEN_NOT_PRESENT},
        {"C_CloseSession", CKR_SESSION_CLOSED},
        {"C_GetSessionInfo", CKR_SESSION_CLOSED},
        {"C_Login", CKR_PIN_INCORRECT},
        {"C_FindObjectsInit", CKR_ATTRIBUTE_TYPE_INVALID},
        {"C_FindObjects", CKR_OPERATION_NOT_INITIALIZED},
        {"C_FindObjectsFinal", CKR_OPERATION_NOT_INITIALIZED},
        {"C_GetAttributeValue", CKR_OBJECT_HANDLE_INVALID},
        {"C_SetAttributeValue", CKR_ATTRIBUTE_READ_ONLY},
        {"C_CreateObject", CKR_TEMPLATE_INCOMPLETE},
        {"C_DestroyObject", CKR_OBJECT_HANDLE_INVALID},
        {"C_SignInit", CKR_KEY_FUNCTION_NOT_PERMITTED},
        {"C_Sign", CKR_DATA_LEN_RANGE},
        {"C_EncryptInit", CKR_KEY_FUNCTION_NOT_PERMITTED},
        {"C_Encrypt", CKR_DATA_LEN_RANGE},
        {"C_DecryptInit", CKR_KEY_FUNCTION_NOT_PERMITTED},
        {"C_Decrypt", CKR_ENCRYPTED_DATA_INVALID},
        {"C_GenerateKeyPair", CKR_TEMPLATE_INCONSISTENT},
        {"C_SeedRandom", CKR_RANDOM_SEED_NOT_SUPPORTED},
        {"C_GenerateRandom", CKR_RANDOM_NO_RNG}};
    return failures.at(function);
}

// Answers the module takes without an exception: a token that cannot seed
// or has no generator, the first initialisation attempt (the module then
// initialises without arguments) and a finalisation on release.
bool accepted(const std::string& function, CK_RV value) {
    if (function == "C_SeedRandom" || function == "C_GenerateRandom")
        return value == CKR_RANDOM_SEED_NOT_SUPPORTED || value == CKR_RANDOM_NO_RNG;
    return function == "C_Initialize" || function == "C_Finalize";
}

const char* nameOf(CK_RV value) { return zep_return_value_name(value); }

std::string text(const ZEPBuffer& bytes) { return std::string(bytes.getValue(), bytes.getValue() + bytes.getLength()); }

class FaultSweep : public KeyDatabaseWrite {
protected:
    static constexpr unsigned kRsaBits = 1024;

    // One operation: what is on the token before, the operation on the
    // fixture's slot manager and a text of its result.
    struct Scenario {
        std::string name;
        std::function<void()> setUp;
        std::function<std::string(FaultSweep&)> run;
        bool login = true;
        // Connects on its own: the fixture lets go of its connection first.
        bool connects = false;
        // Calls ("C_GetInfo #1") whose failure the operation passes over.
        std::set<std::string> ignored = {};
    };

    struct Outcome {
        Objects before, after;
        std::vector<testtoken::CallRecord> calls;
        std::optional<long> code;
        std::optional<CK_RV> returnValue;
        std::string result, failure;
    };

    FaultSweep() { Control::setMechanisms(kSlot, testtoken::rsaMechanisms()); }

    static std::vector<Scenario> scenarios();

    // The key every scenario finds on the token, which the check after a
    // failure signs with.
    static ZEPKRYKey probeKey() { return algorithmKey(bufferOf("probe"), ZEPBuffer()); }
    static ZEPKRYKey signerKey(int type) { return algorithmKey(bufferOf("s"), alice_, type); }
    static void addPopulation() {
        addPair("pair", certificates_->first);
        addCertificate(bobCertificate_, "bob", bufferOf("b"));
        addKey(CKO_PRIVATE_KEY, "request", bufferOf("r"), subjectOf(bobCertificate_));
        addKey(CKO_PUBLIC_KEY, "request", bufferOf("r"), subjectOf(bobCertificate_));
    }
    static void addSigner() {
        addKey(CKO_PRIVATE_KEY, "signer", bufferOf("s"), alice_);
        addKey(CKO_PUBLIC_KEY, "signer", bufferOf("s"), alice_);
    }

    std::unique_ptr<ZEPKRYAlgorithmFactory> factory() {
        return std::unique_ptr<ZEPKRYAlgorithmFactory>(slot().getZEPKRYAlgorithmFactory());
    }
    ZEPBuffer sign(const ZEPKRYKey& key, const std::string& data) {
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory()->make_SHA1WithRSA_SignatureAlgorithm(key));
        return signer->signData(bufferOf(data).get());
    }
    ZEPBuffer encrypt(const std::string& data) {
        std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
            factory()->make_RSAPKCS_EncryptionAlgorithm(signerKey(ZEPKRYKey::TYPE_PUBLIC)));
        return encryption->encryptData(bufferOf(data).get());
    }

    // Starts over with the scenario's objects, the probe key among them.
    void prepare(const Scenario& scenario) {
        restart(1, scenario.login);
        Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
        addKey(CKO_PRIVATE_KEY, "probe", bufferOf("probe"), ZEPBuffer());
        scenario.setUp();
        if (scenario.connects) {
            slot_.reset();
            manager_.reset();
        }
    }

    Outcome run(const Scenario& scenario, const std::function<void()>& inject = {}) {
        prepare(scenario);
        Outcome outcome;
        outcome.before = objectsNow(kSlot);
        Control::clearCalls();
        if (inject) inject();
        try {
            outcome.result = scenario.run(*this);
        } catch (const ZEPPKCS11Exception& e) {
            outcome.code = e.getCode();
            if (e.hasReturnValue()) outcome.returnValue = e.getReturnValue();
        } catch (const std::exception& e) {
            outcome.failure = e.what();
        }
        outcome.calls = Control::calls();
        outcome.after = objectsNow(kSlot);
        return outcome;
    }

    // The next operations on the same slot manager (after a connect
    // scenario, on a new connection): a search that counts the
    // certificates, and a signature while the user is logged in.
    std::string probe() {
        try {
            if (!slot_) {
                manager_ = connect();
                slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(kSlot, 1)));
            }
            asn_x500name anyValue;
            size_t certificates = 0, probeKeys = 0;
            for (const testtoken::ObjectInfo& object : Control::objects(kSlot)) {
                certificates += object.attributes.at(CKA_CLASS) == testtoken::ulongValue(CKO_CERTIFICATE);
                probeKeys += object.attributes.contains(CKA_ID) &&
                             object.attributes.at(CKA_ID) == testtoken::textValue("probe");
            }
            // Deleting every key deletes the probe key too.
            if (probeKeys == 0) addKey(CKO_PRIVATE_KEY, "probe", bufferOf("probe"), ZEPBuffer());
            if (slot().getItemCount(Index::CertMultiIndex::ALL, anyValue) != certificates)
                return "wrong certificate count";
            if (Control::loggedInUser(kSlot) && sign(probeKey(), "probe") != probeSignature_)
                return "wrong signature";
            return "";
        } catch (const std::exception& e) {
            return e.what();
        }
    }

    unsigned injected_ = 0, violations_ = 0;
    std::set<std::string> partialWrites_;
    ZEPBuffer probeSignature_, ciphertext_;

    // Counts a check and reports it when it fails.
    void check(bool good, const std::string& what) {
        if (good) return;
        ++violations_;
        ADD_FAILURE() << what;
    }
};

std::vector<FaultSweep::Scenario> FaultSweep::scenarios() {
    const auto nothing = [] {};
    // Owns what the slot manager hands out.
    const auto owned = [](auto* made) { return std::unique_ptr<std::remove_pointer_t<decltype(made)>>(made); };
    // The label of the item an index finds, or how many items one finds,
    // among the population.
    const auto item = [owned](const char* name, auto index, const auto& value) {
        return Scenario{name, addPopulation, [=](FaultSweep& f) {
                            const auto found = owned(f.slot().getItem(index, value));
                            return found ? text(found->getLabel()) : std::string("none");
                        }};
    };
    const auto items = [owned](const char* name, auto index, const auto& value) {
        return Scenario{name, addPopulation,
                        [=](FaultSweep& f) { return std::to_string(owned(f.slot().getItems(index, value))->size()); }};
    };
    // Every item of a listing, by label.
    const auto listing = [](auto makeIterator, auto next) {
        return [makeIterator, next](FaultSweep& f) {
            std::unique_ptr<ZEPSlotManager::Iterator> iterator((f.slot().*makeIterator)());
            std::string result;
            while (auto* item = (f.slot().*next)(*iterator)) {
                result += text(item->getLabel()) + ";";
                delete item;
            }
            return result;
        };
    };
    x509_certificate first;
    ZEPASNUtility::setDEREncoding(certificates_->first, first);
    IssuerAndSerialNumber issuerAndSerial;
    issuerAndSerial.issuer.assign(first.get_issuer());
    issuerAndSerial.serialNumber.assign(first.get_serial_number());
    const asn_x500name subject = first.get_subject();
    const SubjectPublicKeyInfo key = first.get_subject_public_key_info();
    const asn_bitstring signature = first.get_signature();
    const TBSCertificate unsignedCertificate = first.get_tbs_certificate();
    const asn_x500name anyValue;

    std::vector<Scenario> all = {
        {"connect and list the slots", nothing,
         [](FaultSweep&) {
             PKCS11Manager manager{ZEPPKCS11ConnectInfo(TESTTOKEN_LIBRARY_PATH)};
             std::vector<CK_SLOT_ID> slots;
             manager.getSlotIds(slots);
             return std::to_string(slots.size()) + " " + manager.getLibraryDescription().str();
         },
         true, true,
         // The version check after initialisation keeps operating-system
         // locking when the library cannot tell its version.
         {"C_GetInfo #1"}},
        {"log in", nothing, [](FaultSweep& f) {
             f.slot().login(pin("1234"));
             return std::string();
         },
         false},
        {"list keys", addPopulation, listing(&SlotManager::getKeyIterator, &SlotManager::getNextKeyItem)},
        {"list certificates", addPopulation, listing(&SlotManager::getCertIterator, &SlotManager::getNextCertItem)},
        {"list pairs", addPopulation, listing(&SlotManager::getKeyCertIterator, &SlotManager::getNextKeyCertItem)},
        {"list requests", addPopulation,
         listing(&SlotManager::getKeyCertReqIterator, &SlotManager::getNextKeyCertReqItem)},
        item("key by label", Index::KeyUniqueIndex::LABEL, labelValue("pair")),
        item("request by label", Index::KeyCertReqUniqueIndex::LABEL, labelValue("request")),
        item("certificate by label", Index::CertUniqueIndex::LABEL, labelValue("bob")),
        item("certificate by signature", Index::CertUniqueIndex::SIGNATURE, signature),
        item("certificate by unsigned certificate", Index::CertUniqueIndex::UNSIGNED_CERTIFICATE, unsignedCertificate),
        item("certificate by issuer and serial number", Index::CertUniqueIndex::ISSUER_AND_SERIAL, issuerAndSerial),
        item("pair by label", Index::KeyCertUniqueIndex::LABEL, labelValue("pair")),
        item("pair by signature", Index::KeyCertUniqueIndex::SIGNATURE, signature),
        item("pair by unsigned certificate", Index::KeyCertUniqueIndex::UNSIGNED_CERTIFICATE, unsignedCertificate),
        item("pair by issuer and serial number", Index::KeyCertUniqueIndex::ISSUER_AND_SERIAL, issuerAndSerial),
        items("all keys", Index::KeyMultiIndex::ALL, anyValue),
        items("all certificates", Index::CertMultiIndex::ALL, anyValue),
        items("certificates of a subject", Index::CertMultiIndex::SUBJECT_NAME, subject),
        items("certificates of a key", Index::CertMultiIndex::SUBJECT_PUBLIC_KEY_INFO, key),
        items("all pairs", Index::KeyCertMultiIndex::ALL, anyValue),
        items("pairs of a subject", Index::KeyCertMultiIndex::SUBJECT_NAME, subject),
        items("pairs of a key", Index::KeyCertMultiIndex::SUBJECT_PUBLIC_KEY_INFO, key),
        items("all requests", Index::KeyCertReqMultiIndex::ALL, anyValue),
        {"requests of a subject", addPopulation,
         [=](FaultSweep& f) {
             return std::to_string(f.slot().getItemCount(Index::KeyCertReqMultiIndex::SUBJECT_NAME, subject));
         }},
        {"sign", addSigner,
         [](FaultSweep& f) { return text(f.sign(signerKey(ZEPKRYKey::TYPE_PRIVATE), "data")); }},
        {"encrypt", addSigner, [](FaultSweep& f) { return text(f.encrypt("secret")); }},
        {"decrypt", addSigner,
         [](FaultSweep& f) {
             std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
                 f.factory()->make_RSAPKCS_DecryptionAlgorithm(signerKey(ZEPKRYKey::TYPE_PRIVATE), nullptr));
             return text(decryption->decryptData(f.ciphertext_.get()));
         }},
        {"generate a key pair", nothing,
         [](FaultSweep& f) {
             std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(f.factory()->make_RSA_PublicKeyGenAlgorithm(kRsaBits));
             return text(generator->generateKeyPair().getPrivateKey().getKeyBlob());
         }},
        {"random data, seeded", nothing,
         [](FaultSweep& f) {
             const ZEPBuffer seed = bufferOf("seed");
             const r_buffer_t seedView = seed.get();
             std::unique_ptr<ZEPKRYRandomDataGenAlgorithm> random(
                 f.factory()->make_Default_RandomDataGenAlgorithm(&seedView));
             return text(random->generateRandomData(16));
         }},
    };
    for (const WriteCase& write : writeCases())
        all.push_back({write.name, write.setUp,
                       [run = write.write](FaultSweep& f) { return std::string(run(f.slot()) ? "written" : ""); }});
    return all;
}

// For every scenario and every Cryptoki call k of its good run, the k-th
// call fails with each value. A search call that delivered handles fails
// after delivering (one that delivers nothing ends the search whatever it
// answers, so it is failed instead and must change nothing), and so does
// C_Finalize, which must not stop the next connection. A write is
// failed once more after doing its work: the token then holds the writes up
// to it, which is what a failure at any later call must leave.
TEST_F(FaultSweep, EveryCallFailedInTurnLeavesAClearErrorAWorkingSlotAndTheWritesBeforeIt) {
    addKey(CKO_PRIVATE_KEY, "probe", bufferOf("probe"), ZEPBuffer());
    probeSignature_ = sign(probeKey(), "probe");
    addSigner();
    ciphertext_ = encrypt("secret");
    const std::vector<Scenario> all = scenarios();
    for (const Scenario& scenario : all) {
        SCOPED_TRACE(scenario.name);
        const Outcome good = run(scenario);
        ASSERT_FALSE(good.code) << *good.code;
        ASSERT_EQ(good.failure, "");
        ASSERT_EQ(probe(), "");
        Objects expected = good.before;
        std::map<std::string, unsigned> numbers;
        for (const testtoken::CallRecord& call : good.calls) {
            const std::string& function = call.function;
            const unsigned number = ++numbers[function];
            const bool search = function == "C_FindObjects";
            // A library that fails C_Finalize is released all the same.
            const bool afterWork = (search && call.arg("pulObjectCount.out") != 0) || function == "C_Finalize";
            for (CK_RV value :
                 {CKR_SESSION_HANDLE_INVALID, CKR_DEVICE_ERROR, CKR_DEVICE_REMOVED, typicalFailure(function)}) {
                const std::string where = function + " #" + std::to_string(number) + " " + nameOf(value);
                SCOPED_TRACE(where);
                ++injected_;
                // As on a real token, the session is gone when the answer says
                // so; but for a search call delivering nothing, whose answer
                // the client passes over.
                const bool gone = value == CKR_SESSION_HANDLE_INVALID || value == CKR_DEVICE_REMOVED;
                const testtoken::SessionFate fate =
                    gone && (afterWork || !search) ? testtoken::SessionFate::lost : testtoken::SessionFate::kept;
                const Outcome failed = run(scenario, [&] {
                    if (afterWork)
                        Control::failAfterWork(function, value, number, fate);
                    else
                        Control::failOnCall(function, value, number, fate);
                });
                check(failed.failure.empty(), "not a PKCS#11 exception: " + failed.failure);
                // An object whose handle is no longer valid counts as destroyed
                // since the search: the operation may go on without it or find
                // its key missing (577005), and writes what that leads to.
                const bool vanished = function == "C_GetAttributeValue" && value == CKR_OBJECT_HANDLE_INVALID &&
                                      failed.code != familyOf(function, value);
                if (vanished) {
                    check(!failed.code || failed.code == 577005,
                          "vanished object: code " + std::to_string(failed.code.value_or(0)));
                } else if ((search && !afterWork) || accepted(function, value) ||
                           scenario.ignored.contains(function + " #" + std::to_string(number))) {
                    check(!failed.code, "accepted value failed with " + std::to_string(failed.code.value_or(0)));
                    if (search) check(failed.result == good.result, "result of a search ended early");
                } else {
                    const std::string escaped = "code " + std::to_string(failed.code.value_or(0)) + " with " +
                                                nameOf(failed.returnValue.value_or(CKR_OK));
                    check(failed.code == familyOf(function, value), escaped);
                    const bool carried = failed.code != 577008;
                    check(failed.returnValue == (carried ? std::optional<CK_RV>(value) : std::nullopt), escaped);
                }
                // A failed operation leaves the writes before the failed call,
                // one that went on all of its writes.
                const Objects& left = failed.code ? expected : good.after;
                if (!vanished)
                    check(failed.after == left, "token objects: " + std::to_string(failed.after.size()) +
                                                    " instead of " + std::to_string(left.size()));
                const std::string next = probe();
                check(next.empty(), "next operation: " + next);
            }
            if (isWrite(function)) {
                ++injected_;
                const Outcome written = run(scenario, [&] { Control::failAfterWork(function, CKR_DEVICE_ERROR, number); });
                check(written.code == familyOf(function, CKR_DEVICE_ERROR), function + " failed after its work");
                expected = written.after;
                if (expected != good.before && expected != good.after) partialWrites_.insert(scenario.name);
            }
        }
        check(expected == good.after, "the writes of the good run");
    }
    for (const std::string& name : partialWrites_) std::cout << "partial write possible: " << name << "\n";
    std::cout << "scenarios " << all.size() << ", injected failures " << injected_ << ", violations " << violations_
              << std::endl;
    EXPECT_EQ(violations_, 0u);
}

}  // namespace
