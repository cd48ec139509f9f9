#include "io/privatekeyfile.h"

#include <optional>
#include <stdexcept>
#include <string_view>

#include "asn/ecprivatekey.h"
#include "asn/privatekeyinfo.h"
#include "asn/rsaprivatekey.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zepeccurve.h"
#include "asn/zepecprivatekey.h"
#include "asn/zeppem.h"
#include "io/failuretext.h"
#include "io/inputfile.h"
#include "io/keyfacts.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// Far more than any RSA or EC key.
constexpr std::size_t inputLimit = 1024 * 1024;

constexpr unsigned char sequenceTag = 0x30;

// The PKCS#8 form of a PKCS#1 key.
ZEPBuffer privateKeyInfoOf(const ZEPBuffer& rsaPrivateKeyDER) {
    PrivateKeyInfo info;
    zep_asn_check(ZEP_HERE, info.version.set_value(0L));
    zep_asn_check(ZEP_HERE,
                  info.privateKeyAlgorithm.set_value_with_null(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT));
    zep_asn_check(ZEP_HERE, info.privateKey.set_value(rsaPrivateKeyDER));
    return ZEPASNUtility::getDEREncoding(info);
}

// Whether `der` decodes as `structure`; a failure leaves nothing behind.
bool decodes(const ZEPBuffer& der, asn_object& structure) {
    try {
        ZEPASNUtility::setDEREncoding(der, structure);
        return true;
    } catch (const ZEPException&) {
        return false;
    }
}

}  // namespace

PrivateKeyFile::PrivateKeyFile(const std::string& path) {
    const std::string name = path == "-" ? "standard input" : path;
    const ZEPBuffer input = readSecretInputFile(path, inputLimit);
    const bool isDER = !input.empty() && input.getValue()[0] == sequenceTag;
    const std::string_view text(reinterpret_cast<const char*>(input.getValue()), input.getLength());
    if (!isDER && text.find("ENCRYPTED") != std::string_view::npos)
        throw std::runtime_error(name + " holds an encrypted private key; keydb imports unencrypted keys only "
                                        "(openssl pkey -in KEY -out PLAIN.pem decrypts it)");

    // The PEM label says which form the DER has: "PRIVATE KEY" PKCS#8, the
    // others their own; DER is tried as each.
    ZEPBuffer der;
    const char* label = nullptr;
    for (const char* candidate : {ZEPPEM::LABEL_PRIVATE_KEY, "RSA PRIVATE KEY", ZEPPEM::LABEL_EC_PRIVATE_KEY}) {
        try {
            der = ZEPPEM::decode(input, candidate);
            label = candidate;
            break;
        } catch (const ZEPException&) {
        }
    }
    if (!label)
        throw std::runtime_error(name + " holds no private key: it is neither DER nor PEM with a PRIVATE KEY, "
                                        "RSA PRIVATE KEY or EC PRIVATE KEY block");
    const std::string_view form = isDER ? "" : label;

    RSAPrivateKey rsa;
    PrivateKeyInfo info;
    ECPrivateKey ec;
    if ((form.empty() || form == ZEPPEM::LABEL_PRIVATE_KEY) && decodes(der, info)) {
        if (ZEPECCurve::isKeyAlgorithm(info.privateKeyAlgorithm)) {
            readEC(name, der, false);
            return;
        }
        if (!info.privateKeyAlgorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT))
            throw std::runtime_error(name + " holds a private key of another kind than RSA and EC (" +
                                     info.privateKeyAlgorithm.algorithm.to_string() + "); keydb imports RSA and EC "
                                     "keys");
        if (!decodes(ZEPBuffer(info.privateKey.content_view()), rsa))
            throw std::runtime_error(name + " holds a PKCS#8 key whose RSA key is malformed");
        key_ = ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, der);
    } else if ((form.empty() || form == "RSA PRIVATE KEY") && decodes(der, rsa)) {
        key_ = ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                         privateKeyInfoOf(der));
    } else if ((form.empty() || form == ZEPPEM::LABEL_EC_PRIVATE_KEY) && decodes(der, ec)) {
        readEC(name, der, true);
        return;
    } else {
        throw std::runtime_error(name + " holds no unencrypted RSA or EC private key (PKCS#8, PKCS#1 or "
                                        "ECPrivateKey, PEM or DER); an encrypted key must be decrypted first");
    }
    ZEPBuffer modulus;
    zep_asn_check(ZEP_HERE, rsa.modulus.get_unsigned(modulus));
    keyId_ = modulusKeyId(modulus);
}

void PrivateKeyFile::readEC(const std::string& name, const ZEPBuffer& der, bool outerless) {
    std::optional<ZEPECPrivateKey> key;
    try {
        key = outerless ? ZEPECPrivateKey::fromECPrivateKey(der) : ZEPECPrivateKey::fromPrivateKeyInfo(der);
    } catch (const ZEPException& failure) {
        throw std::runtime_error(name + " holds an EC private key keydb cannot import (" + failureText(failure) +
                                 "); keydb imports keys on P-256, P-384 and P-521");
    }
    if (key->getPublicPoint().empty())
        throw std::runtime_error(name + " holds an EC private key without its public point, which ties it to its "
                                        "certificate (openssl ec -in KEY -out WITH-POINT.pem adds it)");
    key_ = ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_EC, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                     key->getDER());
    keyId_ = ecKeyId(key->getPublicPoint());
    curve_ = key->getCurve().getNistName();
}
