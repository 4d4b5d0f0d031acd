#include "update/OfferSignature.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace {

constexpr int kEd25519SignatureSize = 64;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

QByteArray SignedOfferText(const QString& version, const QString& installerName,
                           const QString& sha256) {
    return version.toUtf8() + '\n' + installerName.toUtf8() + '\n' +
           sha256.trimmed().toLower().toLatin1();
}

bool IsOfferSignatureValid(const QByteArray& publicKey, const QByteArray& text,
                           const QByteArray& signature) {
    const QByteArray der = QByteArray::fromBase64(publicKey.trimmed());
    const QByteArray raw = QByteArray::fromBase64(signature.trimmed());
    if (der.isEmpty() || raw.size() != kEd25519SignatureSize) return false;
    const auto* next = reinterpret_cast<const unsigned char*>(der.constData());
    const std::unique_ptr<EVP_PKEY, KeyFree> key(d2i_PUBKEY(nullptr, &next, der.size()));
    if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) return false;
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(raw.constData()),
                            static_cast<size_t>(raw.size()),
                            reinterpret_cast<const unsigned char*>(text.constData()),
                            static_cast<size_t>(text.size())) == 1;
}
