#include "login/Md5Digest.h"

#include <openssl/evp.h>

namespace nb {

void Md5Digest::Compute(const void* bytes, size_t length) {
    unsigned int written = 0;
    // MD5 is in OpenSSL's default provider; should it ever be refused, the value stays zero
    // rather than keeping a digest of something else.
    m_digest.fill(0);
    if (EVP_Digest(bytes, length, m_digest.data(), &written, EVP_md5(), nullptr) != 1 || written != kSize) {
        m_digest.fill(0);
    }
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
