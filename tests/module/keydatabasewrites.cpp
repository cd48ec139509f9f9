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
    return {
        {"insert a key", [] {}, [](SlotManager& s) { s.insertItem(keyItem(privateKey(), "key")); }, {create}},
        {"insert a certificate", [] {}, [&](SlotManager& s) { s.insertItem(certItem(first, "alice")); }, {create}},
        {"insert a pair: certificate, private key, then the public key takes label and subject",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [&](SlotManager& s) { s.insertItem(ZEPKeyCertItem(keyItem(privateKey(), "pair"), certItem(first, "pair"))); },
         {create, create, set}},
        {"insert a request: private key, then public key",
         [] {},
         [](SlotManager& s) { s.insertItem(requestItem(privateKey(), alice_, "request")); },
         {create, create}},
        {"insert a request for a generated pair: the keys are named, not created",
         [] {
             addKey(CKO_PRIVATE_KEY, "generated", bufferOf("g"), ZEPBuffer());
             addKey(CKO_PUBLIC_KEY, "generated", bufferOf("g"), ZEPBuffer());
         },
         [](SlotManager& s) { s.insertItem(requestItem(tokenKey(bufferOf("g"), ZEPBuffer()), alice_, "request")); },
         {set, set}},
        {"relabel a key",
         [] { addKey(CKO_PRIVATE_KEY, "old", keyId_, alice_); },
         [](SlotManager& s) { s.updateItem(keyItem(privateKey(), "old"), keyItem(privateKey(), "new")); },
         {set}},
        {"replace a certificate: the new one is created before the old one goes",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { s.updateItem(certItem(first, "alice"), certItem(other, "alice")); },
         {create, destroy}},
        {"replace and relabel a pair: certificate swapped, then private key, public key, certificate",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { s.updateItem(pairItem(first, "pair"), pairItem(other, "renamed")); },
         {create, destroy, set, set, set}},
        {"change a request: public key, then private key",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"),
                          requestItem(tokenKey(keyId_, alice_), subjectOf(bobCertificate_), "renamed"));
         },
         {set, set}},
        {"store the certificate of a request: certificate, then public and private key",
         [] { addPair("request"); },
         [&](SlotManager& s) {
             s.updateItem(requestItem(tokenKey(keyId_, alice_), alice_, "request"), certItem(first, "alice"));
         },
         {create, set, set}},
        {"delete a key",
         [] { addKey(CKO_PUBLIC_KEY, "public", keyId_, alice_); },
         [](SlotManager& s) { s.deleteItem(keyItem(publicKey(), "public")); },
         {destroy}},
        {"delete a certificate",
         [&] { addCertificate(first, "alice", keyId_); },
         [&](SlotManager& s) { s.deleteItem(certItem(first, "alice")); },
         {destroy}},
        {"delete a pair: certificate, private key, public key",
         [&] { addPair("pair", first); },
         [&](SlotManager& s) { s.deleteItem(pairItem(first, "pair")); },
         {destroy, destroy, destroy}},
        {"delete a request: public key, then private key",
         [] { addPair("request"); },
         [](SlotManager& s) { s.deleteItem(requestItem(tokenKey(keyId_, alice_), alice_, "request")); },
         {destroy, destroy}},
        {"delete a pair by label",
         [&] { addPair("pair", first); },
         [](SlotManager& s) { s.deleteItem(Index::KeyCertUniqueIndex::LABEL, labelValue("pair")); },
         {destroy, destroy, destroy},
         false},
        {"delete the certificates of a subject",
         [&] {
             addCertificate(first, "first", keyId_);
             addCertificate(bobCertificate_, "bob", keyId_);
             addCertificate(other, "other", keyId_);
         },
         [&](SlotManager& s) {
             x509_certificate certificate;
             ZEPASNUtility::setDEREncoding(first, certificate);
             s.deleteItems(Index::CertMultiIndex::SUBJECT_NAME, certificate.get_subject());
         },
         {destroy, destroy},
         false},
    };
}
