#include "keydatabasewrites.h"

#include "asn/asn_x500name.h"

void KeyDatabaseWrite::SetUpTestSuite() {
    KeyDatabaseTest::SetUpTestSuite();
    OpenSSLTool openssl;
    openssl.copySharedKey("rsa1024.pem", "key.pem");
    openssl.must("req -new -x509 -key key.pem -subj /CN=Bob -days 10 -outform DER -out bob.der");
    bobCertificate_ = openssl.readFile("bob.der");
    // openssl prints the modulus without a leading zero.
    openssl.writeFile("modulus.bin", certificates_->modulus);
    keyId_ = OpenSSLTool::hexBytes(openssl.must("dgst -sha1 -r modulus.bin").substr(0, 40));
    alice_ = subjectOf(certificates_->first);
}

ZEPBuffer KeyDatabaseWrite::keyId_, KeyDatabaseWrite::alice_, KeyDatabaseWrite::bobCertificate_;

std::vector<KeyDatabaseWrite::WriteCase> KeyDatabaseWrite::writeCases() {
    const ZEPBuffer& first = certificates_->first;
    const ZEPBuffer& other = certificates_->otherSerial;
    const std::string create = "C_CreateObject", set = "C_SetAttributeValue", destroy = "C_DestroyObject";
    const std::vector<CK_ATTRIBUTE_TYPE> label = {CKA_LABEL}, named = {CKA_LABEL, CKA_SUBJECT},
                                         paired = {CKA_LABEL, CKA_SUBJECT, CKA_ID};
    // A request read from the token is signed on it.
    const auto addRequest = [] {
        Control::setMechanisms(kSlot, testtoken::rsaMechanisms());
        addPair("request");
    };
    return {
        {"insert a key", [] {}, [](SlotManager& s) { return s.insertItem(keyItem(privateKey(), "key")); },
         {{create, 0}}},
        {"insert a certificate", [] {}, [&](SlotManager& s) { return s.insertItem(certItem(first, "alice")); },
         {{create, 0}}},
        {"insert a pair: certificate, private key, then the public key takes label and subject",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [&](SlotManager& s) {
             return s.insertItem(ZEPKeyCertItem(keyItem(privateKey(), "pair"), certItem(first, "pair")));
         },
         {{create, 1}, {create, 2}, {set, 0, named}}},
        {"insert a key that is on the token: its object is named, not created",
         [] { addKey(CKO_PRIVATE_KEY, "generated", bufferOf("g"), ZEPBuffer()); },
         [](SlotManager& s) { return s.insertItem(keyItem(tokenKey(bufferOf("g"), alice_), "named")); },
         {{set, 0, label}}},
        {"insert a request: private key, then public key",
         [] {},
         [](SlotManager& s) { return s.insertItem(requestItem(privateKey(), alice_, "request")); },
         {{create, 0}, {create, 1}}},
        {"insert a request for a generated pair: the keys are named, not created",
         [] {
             addKey(CKO_PRIVATE_KEY, "generated", bufferOf("g"), ZEPBuffer());
             addKey(CKO_PUBLIC_KEY, "generated", bufferOf("g"), ZEPBuffer());
         },
         [](SlotManager& s) {
             return s.insertItem(requestItem(tokenKey(bufferOf("g"), ZEPBuffer()), alice_, "request"));
         },
         {{set, 0, named}, {set, 1, named}}},
        {"relabel a key",
         [] { addKey(CKO_PRIVATE_KEY, "old", keyId_, alice_); },
         [](SlotManager& s) { return s.updateItem(keyItem(privateKey(), "old"), keyItem(privateKey(), "new")); },
         {{set, 0, label}}},
        {"replace a certificate: the new one is created before the old one goes",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { return s.updateItem(certItem(first, "alice"), certItem(other, "alice")); },
         {{create, 1}, {destroy, 0}}},
        {"replace and relabel a pair of another tool's id: the keys take the new certificate's",
         [&] { addPair("pair", first, shortId()); },
         [&](SlotManager& s) {
             return s.updateItem(pairItem(first, "pair", shortId()), pairItem(other, "renamed", shortId()));
         },
         {{create, 3}, {destroy, 0}, {set, 1, paired}, {set, 2, paired}, {set, 3, label}}},
        {"rename a pair: private key, public key, certificate",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { return s.updateItem(pairItem(first, "pair"), pairItem(first, "renamed")); },
         {{set, 1, label}, {set, 2, label}, {set, 0, label}}},
        {"change a request to itself: nothing",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             return s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"),
                                 requestItem(tokenKey(keyId_, alice_), alice_, "request"));
         },
         {}},
        {"change a request: public key, then private key",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             return s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"),
                                 requestItem(tokenKey(keyId_, alice_), subjectOf(bobCertificate_), "renamed"));
         },
         {{set, 1, named}, {set, 0, named}}},
        {"rename a request",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             return s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"),
                                 requestItem(tokenKey(keyId_, alice_), alice_, "renamed"));
         },
         {{set, 1, label}, {set, 0, label}}},
        {"store the certificate of a request of another tool's id: the keys take the certificate's",
         [] { addPair("request", ZEPBuffer(), shortId()); },
         [&](SlotManager& s) {
             return s.updateItem(requestItem(tokenKey(shortId(), alice_), alice_, "request"),
                                 certItem(first, "alice"));
         },
         {{create, 2}, {set, 1, paired}, {set, 0, paired}}},
        {"relabel or delete a key, or delete a certificate, that is not on the token: nothing",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [&](SlotManager& s) {
             return s.updateItem(keyItem(publicKey(), "absent"), keyItem(publicKey(), "new")) ||
                    s.deleteItem(keyItem(publicKey(), "absent")) || s.deleteItem(certItem(first, "absent"));
         },
         {}},
        {"delete a key",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [](SlotManager& s) { return s.deleteItem(keyItem(publicKey(), "public")); },
         {{destroy, 0}}},
        {"delete a certificate",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { return s.deleteItem(certItem(first, "alice")); },
         {{destroy, 0}}},
        {"delete a pair: certificate, private key, public key",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { return s.deleteItem(pairItem(first, "pair")); },
         {{destroy, 0}, {destroy, 1}, {destroy, 2}}},
        {"delete a pair whose private key is not on the token: nothing",
         [&] {
             addCertificate(first, "pair", keyId_);
             addKey(CKO_PUBLIC_KEY, "pair", keyId_, alice_);
         },
         [&](SlotManager& s) { return s.deleteItem(pairItem(first, "pair")); },
         {}},
        {"delete a request: public key, then private key",
         [] { addPair("request"); },
         [](SlotManager& s) { return s.deleteItem(requestItem(tokenKey(keyId_, alice_), alice_, "request")); },
         {{destroy, 1}, {destroy, 0}}},
        {"delete a pair by label",
         [&] { addPair("pair", first); },
         [](SlotManager& s) { return s.deleteItem(Index::KeyCertUniqueIndex::LABEL, labelValue("pair")); },
         {{destroy, 0}, {destroy, 1}, {destroy, 2}},
         false},
        {"delete a key by label",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [](SlotManager& s) { return s.deleteItem(Index::KeyUniqueIndex::LABEL, labelValue("public")); },
         {{destroy, 0}},
         false},
        {"delete a secret key and a key of no known type: a secret-key and a vendor-defined object",
         [] {
             addKey(CKO_SECRET_KEY, "secret", keyId_, alice_);
             addKey(CKO_VENDOR_DEFINED, "odd", keyId_, alice_);
         },
         [](SlotManager& s) {
             return s.deleteItem(keyItem(ZEPKRYKey(ZEPKRYKey::TYPE_SECRET, ZEPKRYKey::ALGORITHM_RSA), "secret")) &&
                    s.deleteItem(keyItem(ZEPKRYKey(0, ZEPKRYKey::ALGORITHM_RSA), "odd"));
         },
         {{destroy, 0}, {destroy, 1}}},
        {"delete a certificate by label",
         [&] { addCertificate(first, "alice", keyId_); },
         [](SlotManager& s) { return s.deleteItem(Index::CertUniqueIndex::LABEL, labelValue("alice")); },
         {{destroy, 0}},
         false},
        {"delete a request by label", addRequest,
         [](SlotManager& s) { return s.deleteItem(Index::KeyCertReqUniqueIndex::LABEL, labelValue("request")); },
         {{destroy, 1}, {destroy, 0}},
         false},
        {"delete every key: the private, then the public one",
         [] { addPair("pair"); },
         [](SlotManager& s) { return s.deleteItems(Index::KeyMultiIndex::ALL, labelValue("")).deleted == 2; },
         {{destroy, 0}, {destroy, 1}},
         false},
        {"delete every pair",
         [&] { addPair("pair", first); },
         [](SlotManager& s) { return s.deleteItems(Index::KeyCertMultiIndex::ALL, labelValue("")).deleted == 1; },
         {{destroy, 0}, {destroy, 1}, {destroy, 2}},
         false},
        {"delete every request", addRequest,
         [](SlotManager& s) { return s.deleteItems(Index::KeyCertReqMultiIndex::ALL, labelValue("")).deleted == 1; },
         {{destroy, 1}, {destroy, 0}},
         false},
        {"delete the certificates of a subject: two of three",
         [&] {
             addCertificate(first, "first", keyId_);
             addCertificate(bobCertificate_, "bob", keyId_);
             addCertificate(other, "other", keyId_);
         },
         [&](SlotManager& s) {
             x509_certificate certificate;
             ZEPASNUtility::setDEREncoding(first, certificate);
             const ZEPDeleteResult result = s.deleteItems(Index::CertMultiIndex::SUBJECT_NAME, certificate.get_subject());
             return result.deleted == 2 && result.reserved == 0;
         },
         {{destroy, 0}, {destroy, 2}},
         false},
    };
}
