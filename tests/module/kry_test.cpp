// The token-backed algorithms and their factory, and the client's
// cryptographic calls, against the test token: what reaches the token, in
// which order and under which locks.
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "asn/zepecdsasignature.h"
#include "keydatabasetest.h"
#include "keystore/zepkeyitem.h"
#include "keystore/zeppkcs11asnkeyrecord.h"
#include "kry/zepkrydecryptionalgorithm.h"
#include "kry/zepkryencryptionalgorithm.h"
#include "kry/zepkrykeypair.h"
#include "kry/zepkrypublickeygenalgorithm.h"
#include "kry/zepkryrandomdatagenalgorithm.h"
#include "kry/zepkrysignaturealgorithm.h"
#include "kry/zepkryverificationalgorithm.h"
#include "kry/zepsha1.h"
#include "pkcs11kryalgorithmfactory.h"
#include "pkcs11krysignaturealgorithm.h"
#include "slotmanagerutility.h"
#include "zeputility.h"

// The test token's own entry, for calls that bypass the module.
extern "C" CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR);

namespace {

using testtoken::CallRecord;

ZEPBuffer bytes(const testtoken::Bytes& value) { return ZEPBuffer(value.size(), value.data()); }

ZEPBuffer filled(size_t length, char byte) { return bufferOf(std::string(length, byte)); }

// A private and a public key object of one RSA key, with a factory of the
// logged-in slot.
class TokenAlgorithms : public KeyDatabaseTest {
protected:
    TokenAlgorithms()
        : privateObject_(addKey(CKO_PRIVATE_KEY, "Alice", bufferOf("1"), subjectOf(certificates_->first))),
          publicObject_(addKey(CKO_PUBLIC_KEY, "Alice", bufferOf("1"), subjectOf(certificates_->first))),
          factory_(slot().getZEPKRYAlgorithmFactory()) {
        Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
    }

    // The private key as the key database hands it out: a key record.
    ZEPKRYKey privateKey() {
        std::unique_ptr<ZEPKeyItem> item(SlotManagerUtility::makeKeyItem(slot(), privateObject_));
        return item->getKey();
    }
    // A record of the same key object id naming a key of another type.
    ZEPKRYKey recordKey(int type) {
        ZEPKRYKey key = privateKey();
        key.setType(type);
        return key;
    }

    // The token offers `mechanisms` from a new session on: a token's list is
    // fixed while a session lasts, and the slot keeps it that long.
    void offer(const testtoken::MechanismTable& mechanisms) {
        Control::setMechanisms(kSlot, mechanisms);
        factory_.reset();
        slot_.reset(static_cast<SlotManager*>(manager_->getSlotManager(kSlot, 1)));
        slot_->login(pin("1234"));
        factory_.reset(slot().getZEPKRYAlgorithmFactory());
    }

    using Maker = ZEPKRYSignatureAlgorithm* (ZEPKRYAlgorithmFactory::*)(const ZEPKRYKey&) const;

    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(Maker maker) { return signer(maker, privateKey()); }
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(Maker maker, const ZEPKRYKey& key) {
        return std::unique_ptr<ZEPKRYSignatureAlgorithm>((factory_.get()->*maker)(key));
    }
    ZEPBuffer sign(Maker maker, const ZEPBuffer& data) { return signer(maker)->signData(data.get()); }

    CK_OBJECT_HANDLE privateObject_, publicObject_;
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory_;
};

// RFC 8017, section 9.2, note 1: the DER of the DigestInfo before the digest.
// The token's combined mechanisms digest and pad on their own, so a
// signature that comes out the same through the bare mechanism had the
// right digest and DigestInfo. RSA-PSS tells the token the digest, its MGF1
// and a salt of the digest's length; the bare CKM_RSA_PKCS_PSS is given the
// digest alone. The SHA-2 kinds digest the parts of a multi-part signature
// in the module when the token is given the digest. ECDSA (of an EC key
// object) gets the digest alone too; the token's r||s comes back as DER of
// minimal INTEGERs (the test token's r is the digest after leading zeros,
// its s r's complement) from one C_Sign into twice the field's length.
TEST_F(TokenAlgorithms, SignaturesUseTheCombinedMechanismOrTheDigestThatSignsTheSame) {
    using Factory = ZEPKRYAlgorithmFactory;
    struct Case {
        Maker maker;
        CK_MECHANISM_TYPE combined, bare;
        std::string digestInfoHeader;
        size_t digestLength;
        std::optional<CK_RSA_PKCS_PSS_PARAMS> pss;
        const char* ecKey = nullptr;  // the openssl EC key, or the RSA key
    };
    const std::string sha2 = "\x30\x0d\x06\x09\x60\x86\x48\x01\x65\x03\x04\x02";
    const Case cases[] = {
        {&Factory::make_SHA1WithRSA_SignatureAlgorithm, CKM_SHA1_RSA_PKCS, CKM_RSA_PKCS,
         std::string("\x30\x21\x30\x09\x06\x05\x2b\x0e\x03\x02\x1a\x05\x00\x04\x14", 15), 20, {}},
        {&Factory::make_MD5WithRSA_SignatureAlgorithm, CKM_MD5_RSA_PKCS, CKM_RSA_PKCS,
         std::string("\x30\x20\x30\x0c\x06\x08\x2a\x86\x48\x86\xf7\x0d\x02\x05\x05\x00\x04\x10", 18), 16, {}},
        {&Factory::make_SHA224WithRSA_SignatureAlgorithm, CKM_SHA224_RSA_PKCS, CKM_RSA_PKCS,
         "\x30\x2d" + sha2 + std::string("\x04\x05\x00\x04\x1c", 5), 28, {}},
        {&Factory::make_SHA256WithRSA_SignatureAlgorithm, CKM_SHA256_RSA_PKCS, CKM_RSA_PKCS,
         "\x30\x31" + sha2 + std::string("\x01\x05\x00\x04\x20", 5), 32, {}},
        {&Factory::make_SHA384WithRSA_SignatureAlgorithm, CKM_SHA384_RSA_PKCS, CKM_RSA_PKCS,
         "\x30\x41" + sha2 + std::string("\x02\x05\x00\x04\x30", 5), 48, {}},
        {&Factory::make_SHA512WithRSA_SignatureAlgorithm, CKM_SHA512_RSA_PKCS, CKM_RSA_PKCS,
         "\x30\x51" + sha2 + std::string("\x03\x05\x00\x04\x40", 5), 64, {}},
        {&Factory::make_SHA256WithRSAPSS_SignatureAlgorithm, CKM_SHA256_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, "", 32,
         CK_RSA_PKCS_PSS_PARAMS{CKM_SHA256, CKG_MGF1_SHA256, 32}},
        {&Factory::make_SHA384WithRSAPSS_SignatureAlgorithm, CKM_SHA384_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, "", 48,
         CK_RSA_PKCS_PSS_PARAMS{CKM_SHA384, CKG_MGF1_SHA384, 48}},
        {&Factory::make_SHA512WithRSAPSS_SignatureAlgorithm, CKM_SHA512_RSA_PKCS_PSS, CKM_RSA_PKCS_PSS, "", 64,
         CK_RSA_PKCS_PSS_PARAMS{CKM_SHA512, CKG_MGF1_SHA512, 64}},
        {&Factory::make_ECDSAWithSHA256_SignatureAlgorithm, CKM_ECDSA_SHA256, CKM_ECDSA, "", 32, {}, "ec"},
        {&Factory::make_ECDSAWithSHA256_SignatureAlgorithm, CKM_ECDSA_SHA256, CKM_ECDSA, "", 32, {}, "ec384"},
        {&Factory::make_ECDSAWithSHA384_SignatureAlgorithm, CKM_ECDSA_SHA384, CKM_ECDSA, "", 48, {}, "ec384"},
        {&Factory::make_ECDSAWithSHA512_SignatureAlgorithm, CKM_ECDSA_SHA512, CKM_ECDSA, "", 64, {}, "ec521"},
    };
    testtoken::MechanismTable combined = testtoken::rsaMechanisms(), bare = testtoken::bareRsaMechanisms();
    for (const Case& c : cases) combined[c.combined] = {512, 4096, CKF_SIGN | CKF_VERIFY};
    bare[CKM_RSA_PKCS_PSS] = bare[CKM_ECDSA] = {512, 4096, CKF_SIGN | CKF_VERIFY};
    const ZEPBuffer data = bufferOf("the data to be signed");
    const auto expectInit = [](const Case& c, CK_MECHANISM_TYPE mechanism) {
        const CallRecord init = Control::callsOf("C_SignInit").at(0);
        EXPECT_EQ(init.arg("mechanism"), mechanism);
        ASSERT_EQ(init.arg("ulParameterLen"), c.pss ? sizeof(CK_RSA_PKCS_PSS_PARAMS) : 0u);
        if (!c.pss) return;
        CK_RSA_PKCS_PSS_PARAMS sent;
        std::memcpy(&sent, init.input("pParameter").data(), sizeof sent);
        EXPECT_EQ(std::tie(sent.hashAlg, sent.mgf, sent.sLen), std::tie(c.pss->hashAlg, c.pss->mgf, c.pss->sLen));
    };
    // The SHA-2 kinds in three parts: the token gets them under the combined
    // mechanism, the module's digest under the bare one.
    const auto inParts = [&](Maker maker, const ZEPKRYKey& key) {
        const auto multiPart = signer(maker, key);
        multiPart->signDataInit();
        for (const char* part : {"the data", "", " to be signed"}) multiPart->signDataUpdate(bufferOf(part).get());
        return multiPart->signDataFinal();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.combined);
        const bool digestsParts = c.combined != CKM_SHA1_RSA_PKCS && c.combined != CKM_MD5_RSA_PKCS;
        const ZEPKRYKey key =
            c.ecKey ? std::unique_ptr<ZEPKeyItem>(SlotManagerUtility::makeKeyItem(
                          slot(), addECKey(CKO_PRIVATE_KEY, c.ecKey, bufferOf(c.ecKey), ZEPBuffer())))
                          ->getKey()
                    : privateKey();
        offer(combined);
        Control::clearCalls();
        const ZEPBuffer signature = signer(c.maker, key)->signData(data.get());
        expectInit(c, c.combined);
        EXPECT_EQ(bytes(Control::callsOf("C_Sign").at(0).input("pData")), data);
        if (digestsParts) {
            Control::clearCalls();
            EXPECT_EQ(inParts(c.maker, key), signature);
            EXPECT_EQ(Control::callCount("C_SignUpdate"), 3u);
        }

        offer(bare);
        Control::clearCalls();
        EXPECT_EQ(signer(c.maker, key)->signData(data.get()), signature);
        expectInit(c, c.bare);
        const ZEPBuffer sent = bytes(Control::callsOf("C_Sign").at(0).input("pData"));
        ASSERT_EQ(sent.getLength(), c.digestInfoHeader.size() + c.digestLength);
        EXPECT_EQ(ZEPBuffer(c.digestInfoHeader.size(), sent.getValue()), bufferOf(c.digestInfoHeader));
        if (c.ecKey) {
            const size_t half = (ZEPPKCS11ASNKeyRecord(key.getKeyBlob()).getKeySize() + 7) / 8;
            std::string r(half - sent.getLength(), '\0'), s;
            r.append(reinterpret_cast<const char*>(sent.getValue()), sent.getLength());
            for (char byte : r) s += static_cast<char>(~byte);
            EXPECT_EQ(ZEPECDSASignature::decode(signature, half), bufferOf(r + s));
            EXPECT_EQ(Control::callsOf("C_Sign").at(0).arg("pulSignatureLen.in"), 2 * half);
        }
        if (digestsParts) {
            Control::clearCalls();
            EXPECT_EQ(inParts(c.maker, key), signature);
            EXPECT_EQ(Control::callCount("C_SignUpdate"), 0u);
            EXPECT_EQ(bytes(Control::callsOf("C_Sign").at(0).input("pData")), sent);
        }
    }
}

// 36 bytes (an MD5 and a SHA-1 digest) are signed raw, as given, whenever
// the token signs with CKM_RSA_PKCS, whatever the key's type; any other
// length, or a token that cannot sign so, is encrypted.
TEST_F(TokenAlgorithms, ThirtySixBytesAreSignedRawWhereTheTokenCanSign) {
    testtoken::MechanismTable cannotSign = testtoken::rsaMechanisms();
    cannotSign[CKM_RSA_PKCS].flags &= ~CKF_SIGN;
    struct Case {
        int keyType;
        size_t length;
        bool tokenSigns;
        const char* expected;  // the one-shot call made, or "" for 577909
    };
    const Case cases[] = {{ZEPKRYKey::TYPE_PRIVATE, 36, true, "C_Sign"},
                          {ZEPKRYKey::TYPE_PUBLIC, 35, true, "C_Encrypt"},
                          {ZEPKRYKey::TYPE_PUBLIC, 37, true, "C_Encrypt"},
                          {ZEPKRYKey::TYPE_PUBLIC, 36, false, "C_Encrypt"},
                          {ZEPKRYKey::TYPE_PUBLIC, 36, true, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.keyType << ", " << c.length << " bytes");
        offer(c.tokenSigns ? testtoken::rsaMechanisms() : cannotSign);
        std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
            factory_->make_RSAPKCS_EncryptionAlgorithm(recordKey(c.keyType)));
        const ZEPBuffer data = filled(c.length, 'd');
        Control::clearCalls();
        if (*c.expected == '\0') {
            // The token refuses to sign with a public key.
            expectFailure([&] { encryption->encryptData(data.get()); }, 577909, "C_SignInit",
                          CKR_KEY_TYPE_INCONSISTENT);
            EXPECT_EQ(Control::callsOf("C_SignInit").at(0).arg("hKey"), publicObject_);
            continue;
        }
        const ZEPBuffer result = encryption->encryptData(data.get());
        const bool signs = std::string(c.expected) == "C_Sign";
        const CallRecord init = Control::callsOf(signs ? "C_SignInit" : "C_EncryptInit").at(0);
        EXPECT_EQ(init.arg("mechanism"), CKM_RSA_PKCS);
        EXPECT_EQ(init.arg("hKey"), signs ? privateObject_ : publicObject_);
        EXPECT_EQ(Control::callCount(signs ? "C_EncryptInit" : "C_SignInit"), 0u);
        EXPECT_EQ(bytes(Control::callsOf(c.expected).at(0).input("pData")), data);
        EXPECT_EQ(result.getLength(), certificates_->modulus.getLength());
    }
}

// The Cryptoki calls since the last clearCalls, by name.
std::string callSequence() {
    std::string sequence;
    for (const CallRecord& call : testtoken::Control::calls()) sequence += (sequence.empty() ? "" : " ") + call.function;
    return sequence;
}

// A signature with a kept key object makes its Init and one C_Sign. The
// handle is read back once the second after it was found or confirmed has
// passed, searched for again after any write through the module and when
// its Init finds it gone; it never signs once it names another key.
TEST_F(TokenAlgorithms, KeptKeyObjectsAreTrustedUntilAWriteOrForASecond) {
    const std::string search = "C_FindObjectsInit C_FindObjects C_FindObjectsFinal C_GetAttributeValue";
    const std::string signs = "C_SignInit C_Sign";
    std::string mechanismInfo;  // one call per mechanism the token offers
    for (size_t i = 0; i < testtoken::rsaMechanisms().size(); ++i) mechanismInfo += " C_GetMechanismInfo";
    const auto setId = [&](const char* id, bool throughModule) {
        AttributeTemplate value;
        value.setAttribute(CKA_ID, bufferOf(id));
        if (throughModule) {
            slot().getClient()->setAttributeValue(slot().getSessionHandle(), privateObject_, value);
            return;
        }
        // Another program, past the module's client.
        CK_FUNCTION_LIST* functions = nullptr;
        ASSERT_EQ(C_GetFunctionList(&functions), CKR_OK);
        CK_ATTRIBUTE attribute = {CKA_ID, const_cast<char*>(id), 1};
        ASSERT_EQ(functions->C_SetAttributeValue(slot().getSessionHandle(), privateObject_, &attribute, 1), CKR_OK);
    };
    std::chrono::steady_clock::time_point now;
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer;
    const std::string data = "data";
    const struct {
        const char* name;
        std::function<void()> between;
        std::string calls;
        long code;  // of the failure, 0 for the signature
        CK_RV returnValue;
    } cases[] = {
        {"nothing", [] {}, signs, 0, CKR_OK},
        {"999 ms", [&] { now += std::chrono::milliseconds(999); }, signs, 0, CKR_OK},
        {"a second", [&] { now += std::chrono::seconds(1); }, "C_GetAttributeValue " + signs, 0, CKR_OK},
        {"a read-back, 999 ms",
         [&] {
             now += std::chrono::seconds(1);
             signer->signData(bufferOf(data).get());
             now += std::chrono::milliseconds(999);
         },
         signs, 0, CKR_OK},
        {"a new session",
         [&] {
             slot().getClient()->closeSession(slot().getSessionHandle());
             slot().login(pin("1234"));
         },
         "C_GetMechanismList C_GetMechanismList" + mechanismInfo + " " + search + " " + signs, 0, CKR_OK},
        {"a write elsewhere", [&] { slot().getClient()->destroyObject(slot().getSessionHandle(), publicObject_); },
         search + " " + signs, 0, CKR_OK},
        {"the key changed through the module", [&] { setId("2", true); }, search.substr(0, search.rfind(' ')), 577005,
         CKR_OK},
        {"the key changed by another program, a second", [&] { setId("2", false), now += std::chrono::seconds(1); },
         "C_GetAttributeValue " + search.substr(0, search.rfind(' ')), 577005, CKR_OK},
        {"the handle invalid at Init", [] { Control::failOnCall("C_SignInit", CKR_KEY_HANDLE_INVALID); },
         "C_SignInit " + search + " " + signs, 0, CKR_OK},
        {"the object handle invalid at Init", [] { Control::failOnCall("C_SignInit", CKR_OBJECT_HANDLE_INVALID); },
         "C_SignInit " + search + " " + signs, 0, CKR_OK},
        {"the handle invalid at both Inits", [] { Control::failAlways("C_SignInit", CKR_KEY_HANDLE_INVALID); },
         "C_SignInit " + search + " C_SignInit", 577909, CKR_KEY_HANDLE_INVALID},
        {"a failed read-back",
         [&] { now += std::chrono::seconds(1), Control::failOnCall("C_GetAttributeValue", CKR_DEVICE_ERROR); },
         "C_GetAttributeValue", 577905, CKR_DEVICE_ERROR},
    };
    factory_.reset();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        signer.reset();
        restart();
        Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
        privateObject_ = addKey(CKO_PRIVATE_KEY, "Alice", bufferOf("1"), subjectOf(certificates_->first));
        publicObject_ = addKey(CKO_PUBLIC_KEY, "Alice", bufferOf("1"), subjectOf(certificates_->first));
        slot().getTokenCache().setClock([&] { return now; });
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot().getZEPKRYAlgorithmFactory());
        signer.reset(factory->make_SHA1WithRSA_SignatureAlgorithm(privateKey()));
        const ZEPBuffer first = signer->signData(bufferOf(data).get());
        c.between();
        Control::clearCalls();
        const auto sign = [&] { return signer->signData(bufferOf(data).get()); };
        if (c.code == 0)
            EXPECT_EQ(sign(), first);
        else if (c.returnValue == CKR_OK)
            expectFailure(sign, c.code, "Key Id was not found.  Token may have been removed.");
        else  // the last call's failure
            expectFailure(sign, c.code, c.calls.substr(c.calls.rfind(' ') + 1), c.returnValue);
        EXPECT_EQ(callSequence(), c.calls);
    }
}

// One C_Sign, C_Decrypt or C_Encrypt into a buffer of the modulus length;
// when the token answers CKR_BUFFER_TOO_SMALL, the length query and the
// call, after a fresh Init when the token ended the operation on that answer.
TEST_F(TokenAlgorithms, OneShotOutputsTakeOneCallAndFallBackToTheLengthQuery) {
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory_->make_SHA1WithRSA_SignatureAlgorithm(privateKey()));
    std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
        factory_->make_RSAPKCS_EncryptionAlgorithm(recordKey(ZEPKRYKey::TYPE_PUBLIC)));
    std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
        factory_->make_RSAPKCS_DecryptionAlgorithm(privateKey(), nullptr));
    const ZEPBuffer data = bufferOf("data");
    const ZEPBuffer ciphertext = encryption->encryptData(data.get());
    const struct {
        std::string call;
        long family;
        std::function<ZEPBuffer()> operation;
        ZEPBuffer expected;
    } operations[] = {
        {"C_Sign", 577909, [&] { return signer->signData(data.get()); }, signer->signData(data.get())},
        {"C_Encrypt", 577906, [&] { return encryption->encryptData(data.get()); }, ciphertext},
        {"C_Decrypt", 577907, [&] { return decryption->decryptData(ciphertext.get()); }, data},
    };
    const struct {
        std::vector<CK_RV> answers;  // injected into the data calls, in order
        std::string calls;           // I for the Init, D for a data call
        CK_RV failure;               // of the operation, CKR_OK when it gives the output
    } cases[] = {
        {{}, "ID", CKR_OK},
        {{CKR_BUFFER_TOO_SMALL}, "IDDD", CKR_OK},
        {{CKR_BUFFER_TOO_SMALL, CKR_OPERATION_NOT_INITIALIZED}, "IDDIDD", CKR_OK},
        {{CKR_DEVICE_ERROR}, "ID", CKR_DEVICE_ERROR},
    };
    for (const auto& o : operations)
        for (const auto& c : cases) {
            SCOPED_TRACE(o.call + " after " + std::to_string(c.answers.size()) + " answers");
            for (size_t i = 0; i < c.answers.size(); ++i) Control::failOnCall(o.call, c.answers[i], unsigned(i + 1));
            Control::clearCalls();
            if (c.failure == CKR_OK)
                EXPECT_EQ(o.operation(), o.expected);
            else
                expectFailure([&] { o.operation(); }, o.family, o.call, c.failure);
            std::string calls;
            for (const CallRecord& call : Control::calls())
                calls += call.function == o.call ? "D" : call.function == o.call + "Init" ? "I" : "";
            EXPECT_EQ(calls, c.calls);
            const CallRecord oneCall = Control::callsOf(o.call).at(0);
            EXPECT_EQ(oneCall.arg(o.call == "C_Sign" ? "pulSignatureLen.in"
                                  : o.call == "C_Encrypt" ? "pulEncryptedDataLen.in"
                                                          : "pulDataLen.in"),
                      certificates_->modulus.getLength());
        }
}

// The token answers a multi-part operation at its final call, so every
// update has an empty output; empty parts and empty results pass too. Each
// operation must end at its last call, or the next one could not start.
TEST_F(TokenAlgorithms, DataComesBackWholeInOnePieceOrInParts) {
    std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(
        factory_->make_RSAPKCS_EncryptionAlgorithm(recordKey(ZEPKRYKey::TYPE_PUBLIC)));
    std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
        factory_->make_RSAPKCS_DecryptionAlgorithm(privateKey(), nullptr));
    const auto inParts = [](const ZEPBuffer& data, const std::function<ZEPBuffer(const r_buffer_t&)>& update) {
        const size_t half = data.getLength() / 2;
        ZEPBuffer output = update(ZEPBuffer(half, data.getValue()).get());
        output.append(update(ZEPBuffer().get()));
        output.append(update(ZEPBuffer(data.getLength() - half, data.getValue() + half).get()));
        return output;
    };
    for (const ZEPBuffer& secret : {bufferOf("a secret"), ZEPBuffer()}) {
        SCOPED_TRACE(secret.getLength());
        const ZEPBuffer ciphertext = encryption->encryptData(secret.get());
        EXPECT_EQ(decryption->decryptData(ciphertext.get()), secret);
        encryption->encryptDataInit();
        ZEPBuffer parts = inParts(secret, [&](const r_buffer_t& part) { return encryption->encryptDataUpdate(part); });
        EXPECT_TRUE(parts.empty());
        parts.append(encryption->encryptDataFinal());
        EXPECT_EQ(parts, ciphertext);
        decryption->decryptDataInit();
        ZEPBuffer plain = inParts(ciphertext, [&](const r_buffer_t& part) { return decryption->decryptDataUpdate(part); });
        EXPECT_EQ(plain.append(decryption->decryptDataFinal()), secret);
    }
    EXPECT_EQ(encryption->getKeyRecoveryBlock(), nullptr);
    expectFailure([&] { decryption->decryptData(bufferOf("a secret").get()); }, 577907, "C_Decrypt",
                  CKR_ENCRYPTED_DATA_LEN_RANGE);
}

class TokenAlgorithmsConcurrency : public TokenAlgorithms {};

// The slot lock keeps one-shot signatures of all copies of a slot manager
// apart, and the session lock keeps every other call sequence off the
// session from C_SignInit to C_Sign.
TEST_F(TokenAlgorithmsConcurrency, SignaturesOnCopiesOfOneSlotManagerNeverInterleave) {
    const ZEPKRYKey key = privateKey();
    const ZEPBuffer data = bufferOf("data");
    {
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory_->make_SHA1WithRSA_SignatureAlgorithm(key));
        Control::clearCalls();
        std::optional<SlotLock> held(slot().lockSlot());
        std::thread waiting([&] { signer->signData(data.get()); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(Control::callCount("C_SignInit"), 0u) << "signed while another held the slot lock";
        held.reset();
        waiting.join();
        EXPECT_EQ(Control::callCount("C_Sign"), 1u);
    }
    Control::clearCalls();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            SlotManager copy(slot());
            std::unique_ptr<ZEPKRYAlgorithmFactory> factory(copy.getZEPKRYAlgorithmFactory());
            std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(key));
            for (int i = 0; i < 25; ++i) {
                try {
                    signer->signData(data.get());
                } catch (const ZEPException&) {
                    ++failures;
                }
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    // Each C_SignInit is followed by its two C_Sign calls before the next.
    std::string sequence;
    for (const CallRecord& call : Control::calls())
        if (call.function == "C_SignInit" || call.function == "C_Sign") sequence += call.function == "C_Sign" ? 'S' : 'I';
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += "IS";
    EXPECT_EQ(sequence, expected);
}

// A multi-part signature holds the session lock for its C_SignInit alone.
// Until its final call the token keeps the session's other signatures out:
// one from another thread, on a copy of the slot manager, or from the same
// thread, which must never wait for itself, is refused with
// CKR_OPERATION_ACTIVE; a search goes ahead.
TEST_F(TokenAlgorithmsConcurrency, MultiPartAndOneShotSignaturesOnCopiesOfOneSlotManager) {
    const ZEPKRYKey key = privateKey();
    const ZEPBuffer data = bufferOf("data");
    std::unique_ptr<ZEPKRYSignatureAlgorithm> multiPart(factory_->make_SHA1WithRSA_SignatureAlgorithm(key));
    const ZEPBuffer expected = multiPart->signData(data.get());
    const auto signInParts = [&](const std::function<void()>& between) {
        multiPart->signDataInit();
        multiPart->signDataUpdate(ZEPBuffer(2, "da").get());
        between();
        multiPart->signDataUpdate(ZEPBuffer(2, "ta").get());
        return multiPart->signDataFinal();
    };
    const auto oneShot = [&](SlotManager& slot) -> std::string {
        std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot.getZEPKRYAlgorithmFactory());
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(key));
        try {
            return signer->signData(data.get()) == expected ? "signed" : "another signature";
        } catch (const ZEPPKCS11Exception& e) {
            return e.getCode() == 577909 && e.getReturnValue() == CKR_OPERATION_ACTIVE ? "refused" : e.what();
        }
    };
    EXPECT_EQ(signInParts([&] {
                  EXPECT_EQ(oneShot(slot()), "refused");
                  std::vector<CK_OBJECT_HANDLE> found;
                  SlotManagerUtility::findAllItems(slot(), CKO_PRIVATE_KEY, found, MATCH_ALL, ZEPBuffer());
                  EXPECT_EQ(found, std::vector<CK_OBJECT_HANDLE>{privateObject_});
              }),
              expected);
    std::thread other([&] {
        SlotManager copy(slot());
        for (int i = 0; i < 50; ++i) {
            const std::string result = oneShot(copy);
            EXPECT_TRUE(result == "signed" || result == "refused") << result;
        }
    });
    for (int i = 0; i < 50; ++i) EXPECT_EQ(signInParts([] {}), expected);
    other.join();
}

TEST_F(TokenAlgorithms, KeysAreCheckedAgainstTheTokenAndFoundByClassAndId) {
    // The label without its padding names another token.
    const ZEPBuffer blob =
        ZEPPKCS11ASNKeyRecord(ZEPString("database"), bufferOf("1"), 1024, subjectOf(certificates_->first))
            .getBuffer();
    const ZEPKRYKey elsewhere(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD,
                              blob);
    const std::string removed = "Token Label invalid.  Token may have been removed.";
    expectFailure([&] { delete factory_->make_SHA1WithRSA_SignatureAlgorithm(elsewhere); }, 577004, removed);
    expectFailure([&] { delete factory_->make_RSAPKCS_EncryptionAlgorithm(elsewhere); }, 577004, removed);
    expectFailure([&] { delete factory_->make_RSAPKCS_DecryptionAlgorithm(elsewhere, nullptr); }, 577004, removed);
    expectFailure([&] { delete factory_->make_ECDSAWithSHA384_SignatureAlgorithm(privateKey()); }, 571004,
                  "ECDSA signatures need an EC key.");

    // A secret key passes construction and fails where the object is
    // searched; so does a key whose object is gone.
    ZEPKRYKey missing = privateKey();
    ZEPPKCS11ASNKeyRecord record(missing.getKeyBlob());
    record.setObjectId(bufferOf("2"));
    missing.setKeyBlob(record.getBuffer());
    const struct {
        ZEPKRYKey key;
        long code;
        std::string message;
    } cases[] = {{recordKey(ZEPKRYKey::TYPE_SECRET), 577006, "Only private or public key types are supported."},
                 {missing, 577005, "Key Id was not found.  Token may have been removed."}};
    for (const auto& c : cases) {
        std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory_->make_SHA1WithRSA_SignatureAlgorithm(c.key));
        std::unique_ptr<ZEPKRYEncryptionAlgorithm> encryption(factory_->make_RSAPKCS_EncryptionAlgorithm(c.key));
        std::unique_ptr<ZEPKRYDecryptionAlgorithm> decryption(
            factory_->make_RSAPKCS_DecryptionAlgorithm(c.key, nullptr));
        expectFailure([&] { signer->signDataInit(); }, c.code, c.message);
        expectFailure([&] { encryption->encryptDataInit(); }, c.code, c.message);
        expectFailure([&] { decryption->decryptData(ZEPBuffer(1, "x").get()); }, c.code, c.message);
    }
    // The search: the key's class and the record's id.
    EXPECT_EQ(Control::callsOf("C_FindObjectsInit").back().attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_CLASS, CKA_ID}));
}

TEST_F(TokenAlgorithms, RandomDataComesFromTheTokenAndSeedingIsOptional) {
    std::unique_ptr<ZEPKRYRandomDataGenAlgorithm> random(factory_->make_Default_RandomDataGenAlgorithm(nullptr));
    EXPECT_EQ(Control::callCount("C_SeedRandom"), 0u);
    EXPECT_TRUE(random->generateRandomData(0).empty());
    EXPECT_EQ(Control::callCount("C_GenerateRandom"), 0u);
    EXPECT_EQ(random->generateRandomData(16).getLength(), 16u);
    EXPECT_EQ(Control::callsOf("C_GenerateRandom").at(0).arg("ulRandomLen"), 16u);

    const ZEPBuffer seed = bufferOf("seed");
    const r_buffer_t seedView = seed.get();
    random.reset(factory_->make_Default_RandomDataGenAlgorithm(&seedView));
    EXPECT_EQ(bytes(Control::callsOf("C_SeedRandom").at(0).input("pSeed")), seed);
    // A token that cannot be seeded is left unseeded without a word.
    Control::failAlways("C_SeedRandom", CKR_RANDOM_SEED_NOT_SUPPORTED);
    random.reset(factory_->make_Default_RandomDataGenAlgorithm(&seedView));
    random->updateSeed(seedView);
    EXPECT_EQ(random->generateRandomData(8).getLength(), 8u);
}

TEST_F(TokenAlgorithms, KeyPairsAreGeneratedFromTheTemplatesAndNamedByTheirModulus) {
    Control::clearCalls();
    std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm> generator(factory_->make_RSA_PublicKeyGenAlgorithm(1024));
    const ZEPKRYKeyPair pair = generator->generateKeyPair();
    const CallRecord generation = Control::callsOf("C_GenerateKeyPair").at(0);
    // The objects the calls after the generation went to: the public key's
    // modulus read and both labelled, then the public key read, then the private.
    std::vector<CK_ULONG> objects;
    for (const CallRecord& call : Control::calls())
        if (call.has("hObject") && (objects.empty() || objects.back() != call.arg("hObject")))
            objects.push_back(call.arg("hObject"));
    EXPECT_EQ(objects, (std::vector<CK_ULONG>{generation.arg("phPublicKey.out"), generation.arg("phPrivateKey.out"),
                                              generation.arg("phPublicKey.out"), generation.arg("phPrivateKey.out")}));
    EXPECT_EQ(generation.arg("mechanism"), CKM_RSA_PKCS_KEY_PAIR_GEN);
    EXPECT_EQ(generation.attributeTypes,
              (std::vector<CK_ATTRIBUTE_TYPE>{CKA_TOKEN, CKA_ENCRYPT, CKA_VERIFY, CKA_MODULUS_BITS,
                                              CKA_PUBLIC_EXPONENT, CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT,
                                              CKA_SIGN}));
    const Attributes publicKey = Control::object(kSlot, generation.arg("phPublicKey.out")).attributes;
    const Attributes privateKey = Control::object(kSlot, generation.arg("phPrivateKey.out")).attributes;
    const AttributeValue yes = testtoken::boolValue(true), no = testtoken::boolValue(false);
    EXPECT_EQ(publicKey.at(CKA_PUBLIC_EXPONENT), (AttributeValue{0x01, 0x00, 0x01}));
    EXPECT_EQ(publicKey.at(CKA_MODULUS_BITS), testtoken::ulongValue(1024));
    EXPECT_EQ(publicKey.at(CKA_TOKEN), yes);
    EXPECT_EQ(publicKey.at(CKA_ENCRYPT), no);
    EXPECT_EQ(publicKey.at(CKA_VERIFY), no);
    for (CK_ATTRIBUTE_TYPE type : {CKA_TOKEN, CKA_PRIVATE, CKA_SENSITIVE, CKA_DECRYPT, CKA_SIGN})
        EXPECT_EQ(privateKey.at(type), yes) << "private key attribute " << type;

    const ZEPBuffer id = ZEPSHA1::digest(bytes(publicKey.at(CKA_MODULUS)));
    const ZEPBuffer label(ZEPUtility::binaryToHexString(id));
    for (const Attributes* key : {&publicKey, &privateKey}) {
        EXPECT_EQ(bytes(key->at(CKA_ID)), id);
        EXPECT_EQ(bytes(key->at(CKA_LABEL)), label);
    }
    EXPECT_EQ(pair.getPublicKey().getFormat(), ZEPKRYKey::FORMAT_SUBJECT_PUBLIC_KEY_INFO);
    ASSERT_EQ(pair.getPrivateKey().getFormat(), ZEPKRYKey::FORMAT_PKCS11_KEY_RECORD);
    EXPECT_EQ(ZEPPKCS11ASNKeyRecord(pair.getPrivateKey().getKeyBlob()).getObjectId(), id);
    // The private half goes straight back to the factory's signature maker.
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(
        factory_->make_SHA1WithRSA_SignatureAlgorithm(pair.getPrivateKey()));
    EXPECT_EQ(signer->signData(bufferOf("data").get()).getLength(), 128u);
}

TEST_F(TokenAlgorithms, FactoryServesOnlyTokenKeysAndItsAlgorithmsOutliveIt) {
    ZEPKRYKey software = privateKey();
    software.setFormat(ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO);
    for (Maker maker : {&ZEPKRYAlgorithmFactory::make_SHA1WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_MD5WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA224WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA256WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA384WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA512WithRSA_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA256WithRSAPSS_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA384WithRSAPSS_SignatureAlgorithm,
                        &ZEPKRYAlgorithmFactory::make_SHA512WithRSAPSS_SignatureAlgorithm}) {
        EXPECT_EQ((factory_.get()->*maker)(software), nullptr);
        EXPECT_NE(signer(maker), nullptr);
    }
    EXPECT_EQ(factory_->make_RSAPKCS_EncryptionAlgorithm(software), nullptr);
    EXPECT_EQ(factory_->make_RSAPKCS_DecryptionAlgorithm(software, nullptr), nullptr);
    // No digests and no verification, whatever the key.
    EXPECT_EQ(factory_->make_MD5_DigestAlgorithm(), nullptr);
    EXPECT_EQ(factory_->make_SHA1_DigestAlgorithm(), nullptr);
    for (const ZEPKRYKey& key : {software, privateKey()}) {
        EXPECT_EQ(factory_->make_MD5WithRSA_VerificationAlgorithm(key), nullptr);
        EXPECT_EQ(factory_->make_SHA1WithRSA_VerificationAlgorithm(key), nullptr);
    }
    // Each class is of its own kind and of its toolkit base's.
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory_->make_SHA1WithRSA_SignatureAlgorithm(privateKey()));
    const auto isKind = [](const auto& object, const char* name, const ZEPString& base) {
        EXPECT_TRUE(object.isKindOf(name) && object.isKindOf(base) && !object.isKindOf("PKCS11KRY")) << name;
        EXPECT_EQ(object.getInstanceName().str(), name);
    };
    isKind(*factory_, "PKCS11KRYAlgorithmFactory", ZEPKRYAlgorithmFactory::getClassName());
    isKind(*signer, "PKCS11KRYSignatureAlgorithm", ZEPKRYSignatureAlgorithm::getClassName());
    isKind(*std::unique_ptr<ZEPKRYEncryptionAlgorithm>(factory_->make_RSAPKCS_EncryptionAlgorithm(privateKey())),
           "PKCS11KRYEncryptionAlgorithm", ZEPKRYEncryptionAlgorithm::getClassName());
    isKind(*std::unique_ptr<ZEPKRYDecryptionAlgorithm>(factory_->make_RSAPKCS_DecryptionAlgorithm(privateKey(), nullptr)),
           "PKCS11KRYDecryptionAlgorithm", ZEPKRYDecryptionAlgorithm::getClassName());
    isKind(*std::unique_ptr<ZEPKRYPublicKeyGenAlgorithm>(factory_->make_RSA_PublicKeyGenAlgorithm(1024)),
           "PKCS11KRYPublicKeyGenAlgorithm", ZEPKRYPublicKeyGenAlgorithm::getClassName());
    isKind(*std::unique_ptr<ZEPKRYRandomDataGenAlgorithm>(factory_->make_Default_RandomDataGenAlgorithm(nullptr)),
           "PKCS11KRYRandomDataGenAlgorithm", ZEPKRYRandomDataGenAlgorithm::getClassName());

    // Algorithms and duplicates hold slot manager copies of their own.
    std::unique_ptr<ZEPKRYAlgorithmFactory> duplicate(factory_->duplicate());
    factory_.reset();
    slot_.reset();
    EXPECT_FALSE(signer->signData(bufferOf("data").get()).empty());
    std::unique_ptr<ZEPKRYRandomDataGenAlgorithm> random(duplicate->make_Default_RandomDataGenAlgorithm(nullptr));
    EXPECT_EQ(random->generateRandomData(4).getLength(), 4u);
}

// The client's cryptographic calls on a token of its own, without login.
class CryptoCalls : public TestTokenTest {
protected:
    CryptoCalls() : slot_(addTokenSlot()) {
        Control::setMechanisms(slot_, testtoken::rsaMechanisms());
        const AttributeValue modulus(128, 0xC5);
        for (CK_OBJECT_CLASS keyClass : {CKO_PRIVATE_KEY, CKO_PUBLIC_KEY})
            keys_.push_back(Control::addObject(slot_, {{CKA_CLASS, testtoken::ulongValue(keyClass)},
                                                       {CKA_KEY_TYPE, testtoken::ulongValue(CKK_RSA)},
                                                       {CKA_PRIVATE, testtoken::boolValue(false)},
                                                       {CKA_MODULUS, modulus}}));
    }

    void open() {
        manager_ = connect();
        client_ = manager_->getClient();
        client_->openSession(slot_, 0, session_);
        Control::clearCalls();
    }

    CK_SLOT_ID slot_;
    std::vector<CK_OBJECT_HANDLE> keys_;  // private, public
    std::unique_ptr<PKCS11Manager> manager_;
    PKCS11Client* client_ = nullptr;
    CK_SESSION_HANDLE session_ = 0;
    CK_MECHANISM rsa_ = {CKM_RSA_PKCS, nullptr, 0};
};

// Every cryptographic wrapper: with empty data it hands the token a pointer
// for every pointer argument (a null one would be read as a length query or
// refused), but for the output of a first, sizing call, and gives the
// token's answer back, and the call that ends an operation ends it even when
// its output is empty; a failure of its last Cryptoki call carries its
// family code, leaves the output as it was and clears the session it lost,
// except in digestUpdate.
TEST_F(CryptoCalls, EachWrapperPassesEmptyDataAsBytesAndReportsItsFailures) {
    open();
    ZEPBuffer emptyCiphertext, output, part;
    client_->encryptInit(session_, &rsa_, keys_[1]);
    client_->encrypt(session_, ZEPBuffer(), emptyCiphertext);
    CK_MECHANISM sha1 = {CKM_SHA_1, nullptr, 0};
    const std::map<std::string, std::function<void()>> inits = {
        {"C_EncryptInit", [&] { client_->encryptInit(session_, &rsa_, keys_[1]); }},
        {"C_DecryptInit", [&] { client_->decryptInit(session_, &rsa_, keys_[0]); }},
        {"C_SignInit", [&] { client_->signInit(session_, &rsa_, keys_[0]); }},
        {"C_VerifyInit", [&] { client_->verifyInit(session_, &rsa_, keys_[1]); }},
        {"C_DigestInit", [&] { client_->digestInit(session_, &sha1); }}};
    PKCS11Client& c = *client_;
    CK_SESSION_HANDLE& s = session_;
    const ZEPBuffer none, wrongSignature(128, nullptr);
    const struct {
        const char* function;
        long family;
        const char* init;  // the operation the call belongs to; none for an Init or random call
        CK_RV answer;
        std::function<CK_RV()> call;
    } wrappers[] = {
        {"C_EncryptInit", 577906, "", CKR_OK, [&] { return c.encryptInit(s, &rsa_, keys_[1]); }},
        {"C_EncryptUpdate", 577906, "C_EncryptInit", CKR_OK, [&] { return c.encryptUpdate(s, none, output); }},
        {"C_Encrypt", 577906, "C_EncryptInit", CKR_OK, [&] { return c.encrypt(s, none, output); }},
        {"C_EncryptFinal", 577906, "C_EncryptInit", CKR_OK, [&] { return c.encryptFinal(s, output); }},
        {"C_DecryptInit", 577907, "", CKR_OK, [&] { return c.decryptInit(s, &rsa_, keys_[0]); }},
        {"C_Decrypt", 577907, "C_DecryptInit", CKR_OK, [&] { return c.decrypt(s, emptyCiphertext, output); }},
        {"C_DecryptUpdate", 577907, "C_DecryptInit", CKR_OK, [&] { return c.decryptUpdate(s, none, output); }},
        {"C_DecryptFinal", 577907, "C_DecryptInit", CKR_OK,
         [&] {
             c.decryptUpdate(s, emptyCiphertext, part);
             return c.decryptFinal(s, output);
         }},
        {"C_SignInit", 577909, "", CKR_OK, [&] { return c.signInit(s, &rsa_, keys_[0]); }},
        {"C_SignUpdate", 577909, "C_SignInit", CKR_OK, [&] { return c.signUpdate(s, none); }},
        {"C_Sign", 577909, "C_SignInit", CKR_OK, [&] { return c.sign(s, none, output); }},
        {"C_SignFinal", 577909, "C_SignInit", CKR_OK, [&] { return c.signFinal(s, output); }},
        {"C_VerifyInit", 577910, "", CKR_OK, [&] { return c.verifyInit(s, &rsa_, keys_[1]); }},
        {"C_VerifyUpdate", 577910, "C_VerifyInit", CKR_OK, [&] { return c.verifyUpdate(s, none); }},
        {"C_Verify", 577910, "C_VerifyInit", CKR_SIGNATURE_INVALID, [&] { return c.verify(s, none, wrongSignature); }},
        {"C_VerifyFinal", 577910, "C_VerifyInit", CKR_SIGNATURE_LEN_RANGE, [&] { return c.verifyFinal(s, none); }},
        {"C_DigestInit", 577908, "", CKR_OK, [&] { return c.digestInit(s, &sha1); }},
        {"C_DigestUpdate", 577908, "C_DigestInit", CKR_OK, [&] { return c.digestUpdate(s, none); }},
        {"C_Digest", 577908, "C_DigestInit", CKR_OK, [&] { return c.digest(s, none, output); }},
        {"C_DigestFinal", 577908, "C_DigestInit", CKR_OK, [&] { return c.digestFinal(s, output); }},
        {"C_SeedRandom", 577912, "", CKR_OK, [&] { return c.seedRandom(s, none); }},
        {"C_GenerateRandom", 577912, "", CKR_OK, [&] { return c.generateRandom(s, output); }},
    };
    for (const auto& w : wrappers) {
        SCOPED_TRACE(w.function);
        const std::string function = w.function;
        const bool ends = *w.init && !function.ends_with("Update");
        size_t calls = 0;
        for (CK_RV injected : {CKR_OK, CKR_SESSION_HANDLE_INVALID}) {
            client_->openSession(slot_, 0, session_);
            const CK_SESSION_HANDLE opened = session_;
            if (*w.init) inits.at(w.init)();
            Control::clearCalls();
            output = injected == CKR_OK ? ZEPBuffer() : bufferOf("kept");
            if (injected == CKR_OK) {
                EXPECT_EQ(w.call(), w.answer);
                const std::vector<CallRecord> made = Control::callsOf(w.function);
                calls = made.size();
                for (size_t i = 0; i < made.size(); ++i) {
                    size_t nulls = 0;
                    for (const auto& [name, value] : made[i].args)
                        nulls += name.starts_with("p") && name != "pParameter" && name.find('.') == std::string::npos &&
                                 value == 0;
                    EXPECT_EQ(nulls, i + 1 < made.size() ? 1u : 0u) << "call " << i;
                }
                if (ends) {
                    EXPECT_NO_THROW(inits.at(w.init)()) << "the operation is still active";
                }
                continue;
            }
            Control::failOnCall(w.function, injected, static_cast<unsigned>(calls));
            expectFailure(w.call, w.family, w.function, injected);
            EXPECT_EQ(output, bufferOf("kept"));
            EXPECT_EQ(session_, function == "C_DigestUpdate" ? opened : 0u);
        }
    }
}

}  // namespace
