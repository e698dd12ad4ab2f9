// Ed25519 with libgcrypt: Windows has no Ed25519 of its own before recent releases, and
// libgcrypt links statically, so the launcher still needs only system DLLs.
#include <gcrypt.h>

#include <cstring>
#include <mutex>

#include "platform/Signature.h"

namespace nb::platform {
namespace {

bool InitOnce() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        ready = gcry_check_version(GCRYPT_VERSION) != nullptr;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
    return ready;
}

struct Sexp {
    gcry_sexp_t s = nullptr;
    ~Sexp() { gcry_sexp_release(s); }
};

// Ed25519 signs the message itself (no pre-hash); SHA-512 is part of the scheme.
bool MessageSexp(std::string_view message, Sexp& out) {
    return gcry_sexp_build(&out.s, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                           static_cast<int>(message.size()), message.data()) == 0;
}

bool PrivateKeySexp(const Ed25519Seed& seed, Sexp& out) {
    return gcry_sexp_build(&out.s, nullptr, "(private-key (ecc (curve Ed25519) (flags eddsa) (d %b)))",
                           static_cast<int>(seed.size()), seed.data()) == 0;
}

// The bytes of token `name` of an S-expression, when they are exactly `size` long; an
// integer that lost leading zero bytes is padded back.
bool TokenBytes(gcry_sexp_t sexp, const char* name, uint8_t* out, size_t size) {
    Sexp token;
    token.s = gcry_sexp_find_token(sexp, name, 0);
    if (!token.s) return false;
    size_t length = 0;
    const char* data = gcry_sexp_nth_data(token.s, 1, &length);
    if (!data || length > size) return false;
    std::memset(out, 0, size - length);
    std::memcpy(out + (size - length), data, length);
    return true;
}

}  // namespace

bool VerifyEd25519(const Ed25519PublicKey& key, std::string_view message, const Ed25519Signature& signature) {
    if (!InitOnce()) return false;
    Sexp pub, sig, data;
    if (gcry_sexp_build(&pub.s, nullptr, "(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))",
                        static_cast<int>(key.size()), key.data()) != 0 ||
        gcry_sexp_build(&sig.s, nullptr, "(sig-val (eddsa (r %b) (s %b)))", 32, signature.data(), 32,
                        signature.data() + 32) != 0 ||
        !MessageSexp(message, data))
        return false;
    return gcry_pk_verify(sig.s, data.s, pub.s) == 0;
}

std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed& seed, std::string_view message) {
    if (!InitOnce()) return std::nullopt;
    Sexp priv, data, sig;
    if (!PrivateKeySexp(seed, priv) || !MessageSexp(message, data) || gcry_pk_sign(&sig.s, data.s, priv.s) != 0)
        return std::nullopt;
    Ed25519Signature signature{};
    if (!TokenBytes(sig.s, "r", signature.data(), 32) || !TokenBytes(sig.s, "s", signature.data() + 32, 32))
        return std::nullopt;
    return signature;
}

std::optional<Ed25519PublicKey> Ed25519PublicKeyOf(const Ed25519Seed& seed) {
    if (!InitOnce()) return std::nullopt;
    Sexp priv;
    gcry_ctx_t ctx = nullptr;
    if (!PrivateKeySexp(seed, priv) || gcry_mpi_ec_new(&ctx, priv.s, nullptr) != 0) return std::nullopt;
    gcry_mpi_t q = gcry_mpi_ec_get_mpi("q@eddsa", ctx, 1);
    gcry_ctx_release(ctx);
    std::optional<Ed25519PublicKey> key;
    unsigned int bits = 0;
    const void* bytes = q ? gcry_mpi_get_opaque(q, &bits) : nullptr;
    if (bytes && bits == 256) {
        key.emplace();
        std::memcpy(key->data(), bytes, key->size());
    }
    gcry_mpi_release(q);
    return key;
}

}  // namespace nb::platform
