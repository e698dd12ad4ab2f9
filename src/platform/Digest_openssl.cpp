#include "platform/Digest.h"

#include <openssl/evp.h>

#include <cstring>

namespace nb::platform {
namespace {

const EVP_MD* Algorithm(DigestKind kind) { return kind == DigestKind::kMd5 ? EVP_md5() : EVP_sha256(); }

template <size_t N>
std::array<uint8_t, N> OneShot(DigestKind kind, std::string_view bytes) {
    std::array<uint8_t, N> value{};
    unsigned int written = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), value.data(), &written, Algorithm(kind), nullptr) != 1 ||
        written != N) {
        value.fill(0);
    }
    return value;
}

}  // namespace

struct Digest::Impl {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    // Once the library has refused a step, the digest can only be wrong: Finish says so.
    bool failed = false;

    ~Impl() { EVP_MD_CTX_free(ctx); }
    void Start(DigestKind kind) { failed = !ctx || EVP_DigestInit_ex(ctx, Algorithm(kind), nullptr) != 1; }
};

Digest::Digest(DigestKind kind) : m_impl(std::make_unique<Impl>()), m_kind(kind) { m_impl->Start(kind); }

Digest::~Digest() = default;

void Digest::Update(const void* bytes, size_t length) {
    if (m_impl->failed || length == 0) return;
    if (EVP_DigestUpdate(m_impl->ctx, bytes, length) != 1) m_impl->failed = true;
}

bool Digest::Finish(uint8_t* out, size_t size) {
    const size_t expected = Size(m_kind);
    bool ok = !m_impl->failed && size == expected;
    if (ok) {
        unsigned int written = 0;
        ok = EVP_DigestFinal_ex(m_impl->ctx, out, &written) == 1 && written == expected;
    }
    if (!ok && out) std::memset(out, 0, size);
    m_impl->Start(m_kind);
    return ok;
}

Md5Value Md5(std::string_view bytes) { return OneShot<16>(DigestKind::kMd5, bytes); }

Sha256Value Sha256(std::string_view bytes) { return OneShot<32>(DigestKind::kSha256, bytes); }

}  // namespace nb::platform
