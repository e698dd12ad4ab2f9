#include "login/Md5Digest.h"

#include "platform/Digest.h"

namespace nb {

// Should the system's library ever refuse MD5, the value is all zero rather than the digest
// of something else.
void Md5Digest::Compute(const void* bytes, size_t length) {
    m_digest = platform::Md5(std::string_view(static_cast<const char*>(bytes), length));
}

std::string Md5Digest::ToHex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(kSize * 2);
    for (uint8_t byte : m_digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string DigestPassword(std::string_view password) {
    Md5Digest digest;
    digest.Compute(password);
    std::string salted = digest.ToHex();
    salted.append(kPasswordSalt);
    digest.Compute(salted);
    return digest.ToHex();
}

}  // namespace nb
