// A token pulled out in the middle of an iteration and of a signature: each
// gives a clear error, leaves no session behind, and the slot manager works
// when the token is back.
#include "keydatabasewrites.h"
#include "keystore/zepcertitem.h"
#include "kry/zepkryalgorithmfactory.h"
#include "kry/zepkrysignaturealgorithm.h"

namespace {

class TokenFailure : public KeyDatabaseWrite {
protected:
    TokenFailure() { Control::setMechanisms(kSlot, testtoken::rsaMechanisms()); }

    void removeToken() { Control::setTokenPresent(kSlot, false); }
    // The token comes back without a login; the slot manager logs in again.
    void insertToken() {
        Control::setTokenPresent(kSlot, true);
        slot().login(pin("1234"));
    }

    size_t countCertificates() {
        std::unique_ptr<ZEPSlotManager::Iterator> iterator(slot().getCertIterator());
        size_t count = 0;
        while (std::unique_ptr<ZEPCertItem> item{slot().getNextCertItem(*iterator)}) ++count;
        return count;
    }
};

// The first call after the removal finds its session gone, the next finds
// no token to open one on.
TEST_F(TokenFailure, RemovalDuringAnIterationFailsItAndTheSlotWorksWhenTheTokenIsBack) {
    addCertificate(certificates_->first, "first", keyId_);
    addCertificate(bobCertificate_, "bob", bufferOf("b"));
    std::unique_ptr<ZEPSlotManager::Iterator> iterator(slot().getCertIterator());
    delete slot().getNextCertItem(*iterator);
    removeToken();
    expectFailure([&] { delete slot().getNextCertItem(*iterator); }, 577905, "C_GetAttributeValue",
                  CKR_SESSION_HANDLE_INVALID);
    expectFailure([&] { countCertificates(); }, 577008,
                  "C_OpenSession() indicates the token is not present in the slot");
    insertToken();
    EXPECT_EQ(countCertificates(), 2u);
    EXPECT_EQ(Control::sessionCount(kSlot), 1u);
}

TEST_F(TokenFailure, RemovalDuringASignatureFailsItAndTheNextSignatureWorks) {
    addKey(CKO_PRIVATE_KEY, "signer", bufferOf("s"), alice_);
    const ZEPKRYKey key = algorithmKey(bufferOf("s"), alice_);
    std::unique_ptr<ZEPKRYAlgorithmFactory> factory(slot().getZEPKRYAlgorithmFactory());
    std::unique_ptr<ZEPKRYSignatureAlgorithm> signer(factory->make_SHA1WithRSA_SignatureAlgorithm(key));
    const ZEPBuffer data = bufferOf("data");
    const ZEPBuffer expected = signer->signData(data.get());
    signer->signDataInit();
    signer->signDataUpdate(data.get());
    removeToken();
    expectFailure([&] { signer->signDataFinal(); }, 577909, "C_SignFinal", CKR_SESSION_HANDLE_INVALID);
    insertToken();
    EXPECT_EQ(signer->signData(data.get()), expected);
    EXPECT_EQ(Control::sessionCount(kSlot), 1u);
}

}  // namespace
