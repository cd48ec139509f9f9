#include "io/privatekeyfile.h"

#include <stdexcept>
#include <string_view>

#include "asn/privatekeyinfo.h"
#include "asn/rsaprivatekey.h"
#include "asn/zepasnoid.h"
#include "asn/zepasnutility.h"
#include "asn/zeppem.h"
#include "io/inputfile.h"
#include "kry/zepasncheck.h"
#include "zepexception.h"
#include "zeptrace.h"

namespace {

// Far more than any RSA key.
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

    ZEPBuffer der;
    bool pkcs1 = false;
    try {
        der = ZEPPEM::decode(input, ZEPPEM::LABEL_PRIVATE_KEY);
    } catch (const ZEPException&) {
        try {
            der = ZEPPEM::decode(input, "RSA PRIVATE KEY");
            pkcs1 = true;
        } catch (const ZEPException&) {
            throw std::runtime_error(name + " holds no private key: it is neither DER nor PEM with a PRIVATE KEY or "
                                            "RSA PRIVATE KEY block");
        }
    }

    RSAPrivateKey rsa;
    PrivateKeyInfo info;
    if (!pkcs1 && decodes(der, info)) {
        if (!info.privateKeyAlgorithm.algorithm.is_equal(ZEPASNOID::VALUE_RSA, ZEPASNOID::VALUE_RSA_COUNT))
            throw std::runtime_error(name + " holds a private key of another kind than RSA (" +
                                     info.privateKeyAlgorithm.algorithm.to_string() + "); keydb imports RSA keys");
        if (!decodes(ZEPBuffer(info.privateKey.content_view()), rsa))
            throw std::runtime_error(name + " holds a PKCS#8 key whose RSA key is malformed");
        key_ = ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO, der);
    } else if ((pkcs1 || isDER) && decodes(der, rsa)) {
        key_ = ZEPKRYKey(ZEPKRYKey::TYPE_PRIVATE, ZEPKRYKey::ALGORITHM_RSA, ZEPKRYKey::FORMAT_PRIVATE_KEY_INFO,
                         privateKeyInfoOf(der));
    } else {
        throw std::runtime_error(name + " holds no unencrypted RSA private key (PKCS#8 or PKCS#1, PEM or DER); "
                                        "an encrypted key must be decrypted first");
    }
    zep_asn_check(ZEP_HERE, rsa.modulus.get_unsigned(modulus_));
}
