// Base of the keydb tests that work on a fresh SoftHSM2 token with the user
// logged in, and check what keydb wrote with openssl and pkcs11-tool.
#ifndef KEYDB_TEST_TOKENTEST_H
#define KEYDB_TEST_TOKENTEST_H

#include <string>
#include <vector>

#include "keydbtest.h"
#include "softhsmtoken.h"

class TokenTest : public KeydbTest {
protected:
    // keydb on the token, logged in through KEYDB_PIN.
    ProgramResult onToken(std::vector<std::string> arguments);
    void mustRun(const std::vector<std::string>& arguments);

    // A file in the data folder, where keydb reads and writes.
    std::string path(const std::string& name) const { return (dataHome_.path() / name).string(); }
    std::string contents(const std::string& name) const;
    // Copies keydb's output file `name` into openssl's folder.
    void toOpenssl(const std::string& name);

    // pkcs11-tool on the token, logged in; fails the test when it fails.
    std::string pkcs11(std::vector<std::string> arguments);
    // pkcs11-tool --write-object of openssl's file `name` as an object of the
    // type ("cert", "privkey", "pubkey", "data"); `subjectFrom` names a
    // certificate whose subject goes into CKA_SUBJECT.
    void writeObject(const std::string& name, const std::string& type, const std::string& label,
                     const std::string& id, const std::string& subjectFrom = {});

    SoftHSMToken token_;
    OpenSSLTool openssl_;
};

#endif
