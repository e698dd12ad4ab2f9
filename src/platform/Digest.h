#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace nb::platform {

// Message digests from the system's crypto library. A `Digest` hashes bytes as they come
// (a download hashed as it arrives); the one-shot functions hash a whole buffer.
enum class DigestKind { kMd5, kSha256 };

using Md5Value = std::array<uint8_t, 16>;
using Sha256Value = std::array<uint8_t, 32>;

class Digest {
public:
    explicit Digest(DigestKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    // Adds bytes; any number of calls, of any length (zero included).
    void Update(const void* bytes, size_t length);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }

    // Writes the digest of everything added since construction or the last Finish into
    // `out` (16 bytes for MD5, 32 for SHA-256) and starts afresh. False (with `out` zeroed)
    // when the library refused the algorithm or `size` is not the digest's size.
    bool Finish(uint8_t* out, size_t size);

    static constexpr size_t Size(DigestKind kind) { return kind == DigestKind::kMd5 ? 16 : 32; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    DigestKind m_kind;
};

// One-shot forms; a refused algorithm gives all zero bytes.
Md5Value Md5(std::string_view bytes);
Sha256Value Sha256(std::string_view bytes);

}  // namespace nb::platform
