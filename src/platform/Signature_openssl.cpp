// Ed25519 verification with OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <memory>

#include "platform/Signature.h"

namespace nb::platform {
namespace {

using PkeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

PkeyPtr PrivateKey(const Ed25519Seed& seed) {
    return PkeyPtr(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size()),
                   &EVP_PKEY_free);
}

}  // namespace

bool VerifyEd25519(const Ed25519PublicKey& key, std::string_view message, const Ed25519Signature& signature) {
    PkeyPtr pkey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()), &EVP_PKEY_free);
    MdCtxPtr ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!pkey || !ctx) return false;
    // Ed25519 hashes internally: no digest is named, and the message goes in one call.
    if (EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1) return false;
    return EVP_DigestVerify(ctx.get(), signature.data(), signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed& seed, std::string_view message) {
    PkeyPtr pkey = PrivateKey(seed);
    MdCtxPtr ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    Ed25519Signature signature{};
    size_t length = signature.size();
    if (!pkey || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1 ||
        EVP_DigestSign(ctx.get(), signature.data(), &length, reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1 ||
        length != signature.size())
        return std::nullopt;
    return signature;
}

std::optional<Ed25519PublicKey> Ed25519PublicKeyOf(const Ed25519Seed& seed) {
    PkeyPtr pkey = PrivateKey(seed);
    Ed25519PublicKey key{};
    size_t length = key.size();
    if (!pkey || EVP_PKEY_get_raw_public_key(pkey.get(), key.data(), &length) != 1 || length != key.size())
        return std::nullopt;
    return key;
}

}  // namespace nb::platform
