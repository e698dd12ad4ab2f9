// Digests from the system's own crypto library (CNG).
#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "platform/Digest.h"

namespace nb::platform {
namespace {

// Provider handles are costly to open and safe to share between threads; one per
// algorithm lives as long as the program.
BCRYPT_ALG_HANDLE Provider(DigestKind kind) {
    static const BCRYPT_ALG_HANDLE md5 = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&h, BCRYPT_MD5_ALGORITHM, nullptr, 0)) ? h : nullptr;
    }();
    static const BCRYPT_ALG_HANDLE sha256 = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? h : nullptr;
    }();
    return kind == DigestKind::kMd5 ? md5 : sha256;
}

template <size_t N>
std::array<uint8_t, N> OneShot(DigestKind kind, std::string_view bytes) {
    std::array<uint8_t, N> value{};
    Digest digest(kind);
    digest.Update(bytes);
    digest.Finish(value.data(), value.size());
    return value;
}

}  // namespace

struct Digest::Impl {
    BCRYPT_HASH_HANDLE hash = nullptr;
    // Once the library has refused a step, the digest can only be wrong: Finish says so.
    bool failed = false;

    ~Impl() { Reset(); }
    void Reset() {
        if (hash) ::BCryptDestroyHash(hash);
        hash = nullptr;
    }
    void Start(DigestKind kind) {
        Reset();
        BCRYPT_ALG_HANDLE provider = Provider(kind);
        failed = !provider || !BCRYPT_SUCCESS(::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0));
    }
};

Digest::Digest(DigestKind kind) : m_impl(std::make_unique<Impl>()), m_kind(kind) { m_impl->Start(kind); }

Digest::~Digest() = default;

void Digest::Update(const void* bytes, size_t length) {
    auto* data = static_cast<const uint8_t*>(bytes);
    // The library takes at most 4 GiB - 1 per call.
    while (!m_impl->failed && length > 0) {
        const ULONG part = length > 0x40000000 ? 0x40000000 : static_cast<ULONG>(length);
        if (!BCRYPT_SUCCESS(::BCryptHashData(m_impl->hash, const_cast<PUCHAR>(data), part, 0))) m_impl->failed = true;
        data += part;
        length -= part;
    }
}

bool Digest::Finish(uint8_t* out, size_t size) {
    const size_t expected = Size(m_kind);
    bool ok = !m_impl->failed && size == expected;
    if (ok) ok = BCRYPT_SUCCESS(::BCryptFinishHash(m_impl->hash, out, static_cast<ULONG>(size), 0));
    if (!ok && out) std::memset(out, 0, size);
    m_impl->Start(m_kind);
    return ok;
}

Md5Value Md5(std::string_view bytes) { return OneShot<16>(DigestKind::kMd5, bytes); }

Sha256Value Sha256(std::string_view bytes) { return OneShot<32>(DigestKind::kSha256, bytes); }

}  // namespace nb::platform
