#include "Md5Hex.h"

#include <openssl/evp.h>

namespace nbstandin {

namespace {
constexpr std::string_view kDigestSalt = "rq4@8";
}

std::string Md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1)
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 0x0F]);
    }
    return text;
}

std::string PasswordDigest(std::string_view passwordBytes) {
    return Md5Hex(Md5Hex(passwordBytes) + std::string(kDigestSalt));
}

}  // namespace nbstandin
