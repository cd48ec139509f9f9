// keydb cert-info on certificates openssl makes, compared with what openssl
// reports about them.
#include <nlohmann/json.hpp>

#include <algorithm>

#include "keydbtest.h"

namespace {

// "2026-12-06 10:00:00Z" as keydb writes it: 2026-12-06T10:00:00Z.
std::string isoDate(std::string openssl) {
    std::replace(openssl.begin(), openssl.end(), ' ', 'T');
    return openssl;
}

class CertInfoTest : public KeydbTest {
protected:
    // keydb cert-info --json on the file `name` of the openssl folder.
    nlohmann::json certInfo(const std::string& name) {
        std::filesystem::path file = copyOut(openssl_, name);
        ProgramResult info = keydb({"cert-info", file.string(), "--json"});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_EQ(info.err, "");
        return nlohmann::json::parse(info.out);
    }

    void expectAgreement(const std::string& name, unsigned bits) {
        SCOPED_TRACE(name);
        nlohmann::json info = certInfo(name);
        std::string in = " -in " + name + " -noout ";
        std::string nameopt = " -nameopt RFC2253,-esc_msb";
        EXPECT_EQ(info["subject"], openssl_.field("x509" + in + "-subject" + nameopt));
        EXPECT_EQ(info["issuer"], openssl_.field("x509" + in + "-issuer" + nameopt));
        EXPECT_EQ(info["serial"], openssl_.field("x509" + in + "-serial"));
        EXPECT_EQ(info["notBefore"], isoDate(openssl_.field("x509" + in + "-startdate -dateopt iso_8601")));
        EXPECT_EQ(info["notAfter"], isoDate(openssl_.field("x509" + in + "-enddate -dateopt iso_8601")));
        EXPECT_EQ(info["keyAlgorithm"], "RSA");
        EXPECT_EQ(info["bits"], bits);
        EXPECT_EQ(info["keyId"], modulusId(openssl_, name));
    }

    OpenSSLTool openssl_;
};

TEST_F(CertInfoTest, AgreesWithOpenSSLForEveryKeySize) {
    openssl_.copySharedKey("rsa2048.pem", "ca.key");
    openssl_.must("req -x509 -key ca.key -out ca.pem -days 30 -subj '/O=Example/CN=Test CA'");
    for (unsigned bits : {1024u, 2048u, 4096u}) {
        std::string name = "leaf" + std::to_string(bits);
        // A multi-valued RDN, UTF-8, a serial with its top bit set and a
        // validity past 2049 (GeneralizedTime).
        openssl_.copySharedKey("rsa" + std::to_string(bits) + ".pem", name + ".key");
        openssl_.must("req -x509 -key " + name + ".key -out " +
                      name + ".pem -days 9500 -utf8 -subj '/C=DE/O=Beispiel+OU=Einheit/CN=Zoë Müller'" +
                      " -set_serial 0x8FEDCBA987654321 -CA ca.pem -CAkey ca.key");
        openssl_.must("x509 -in " + name + ".pem -outform DER -out " + name + ".der");
        expectAgreement(name + ".pem", bits);
        expectAgreement(name + ".der", bits);
    }
    expectAgreement("ca.pem", 2048);
}

TEST_F(CertInfoTest, TextCarriesTheSameFields) {
    openssl_.copySharedKey("rsa1024.pem", "k.pem");
    openssl_.must("req -x509 -key k.pem -out c.pem -days 1 -subj '/CN=a,b' -set_serial 0");
    nlohmann::json json = certInfo("c.pem");
    ProgramResult text = keydb({"cert-info", (dataHome_.path() / "c.pem").string()});
    auto field = fields(text.out);
    EXPECT_EQ(field["Subject"], "CN=a\\,b");
    EXPECT_EQ(field["Subject"], json["subject"]);
    EXPECT_EQ(field["Serial"], "00");
    EXPECT_EQ(field["Key id"], json["keyId"]);
    EXPECT_EQ(field["Bits"], "1024");
}

TEST_F(CertInfoTest, EcKeysShowCurveAndSizeAsOpenSSLDoes) {
    for (const char* curve : {"P-256", "P-384", "P-521", "brainpoolP256r1"}) {
        SCOPED_TRACE(curve);
        openssl_.must(std::string("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:") + curve +
                      " -nodes -keyout ec.key -out ec.pem -days 1 -subj /CN=ec");
        std::string text = openssl_.must("x509 -in ec.pem -noout -text");
        nlohmann::json info = certInfo("ec.pem");
        EXPECT_EQ(info["keyAlgorithm"], "EC");
        EXPECT_NE(text.find("ASN1 OID: " + info["curve"].get<std::string>() + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("Public-Key: (" + std::to_string(info["bits"].get<unsigned>()) + " bit)"),
                  std::string::npos) << text;
        // Key ids name the keys the key database holds.
        const bool held = std::string(curve) != "brainpoolP256r1";
        EXPECT_EQ(info.value("keyId", ""), held ? subjectKeyId(openssl_, "ec.pem") : "");
    }
}

TEST_F(CertInfoTest, SerialsAndPemLabelsAsOpenSSLReadsThem) {
    for (const char* serial : {"-1", "-128", "-0x8FEDCBA987654321", "0x80"}) {
        SCOPED_TRACE(serial);
        openssl_.must(std::string("req -x509 -newkey rsa:1024 -nodes -keyout k.pem -out s.pem -days 1 -subj /CN=s") +
                      " -set_serial " + serial);
        EXPECT_EQ(certInfo("s.pem")["serial"], openssl_.field("x509 -in s.pem -noout -serial"));
    }
    // Trust settings follow the certificate in a TRUSTED CERTIFICATE block.
    openssl_.must("x509 -in s.pem -trustout -addtrust serverAuth -out trusted.pem");
    std::string trusted = fileText(copyOut(openssl_, "trusted.pem"));
    ASSERT_EQ(trusted.rfind("-----BEGIN TRUSTED CERTIFICATE-----", 0), 0u) << trusted;
    EXPECT_EQ(certInfo("trusted.pem")["serial"], "80");
    std::string x509 = fileText(copyOut(openssl_, "s.pem"));
    for (std::string boundary : {"BEGIN", "END"})
        x509.replace(x509.find(boundary + " CERTIFICATE"), boundary.size() + 12, boundary + " X509 CERTIFICATE");
    openssl_.writeFile("x509.pem", x509);
    EXPECT_EQ(certInfo("x509.pem")["serial"], "80");
    // And "-" reads standard input.
    ProgramResult piped = keydb({"cert-info", "-", "--json"}, {}, x509);
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(nlohmann::json::parse(piped.out)["serial"], "80");
}

}  // namespace
