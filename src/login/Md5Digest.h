#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nb {

// One MD5 value (RFC 1321). A new value is all zero bytes; every Compute starts from a
// fresh state, so nothing carries over between computations.
class Md5Digest {
public:
    static constexpr size_t kSize = 16;

    void Compute(const void* bytes, size_t length);
    void Compute(std::string_view bytes) { Compute(bytes.data(), bytes.size()); }

    // The 32-character lower-case hex text, bytes in digest order.
    std::string ToHex() const;

    const std::array<uint8_t, kSize>& Bytes() const { return m_digest; }

private:
    std::array<uint8_t, kSize> m_digest{};
};

// Compiled in; the account service salts the second pass with the same text.
inline constexpr std::string_view kPasswordSalt = "rq4@8";

// What the account service receives instead of the password: the hex MD5 of the hex MD5
// of the password's bytes (as held, code page 936) followed by the salt.
std::string DigestPassword(std::string_view password);

}  // namespace nb
