// The text forms of keys and signatures; the same on every platform.
#include "platform/Signature.h"

#include <cstring>

namespace nb::platform {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
        if (n > 1) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (n > 2) group |= static_cast<uint8_t>(bytes[i + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += n > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') return std::nullopt;  // "x=y=" or the like
        uint32_t group = 0;
        for (size_t k = 0; k < 4; ++k) {
            const int v = k >= 4 - pad ? 0 : Sextet(text[i + k]);
            if (v < 0) return std::nullopt;
            group = group << 6 | static_cast<uint32_t>(v);
        }
        // Bits below the last byte would give a second spelling of the same bytes.
        if ((pad == 1 && (group & 0xFF)) || (pad == 2 && (group & 0xFFFF))) return std::nullopt;
        out += static_cast<char>(group >> 16);
        if (pad < 2) out += static_cast<char>(group >> 8);
        if (pad < 1) out += static_cast<char>(group);
    }
    return out;
}

std::optional<Ed25519PublicKey> DecodePublicKey(std::string_view base64) {
    const std::optional<std::string> bytes = DecodeBase64(base64);
    Ed25519PublicKey key{};
    if (!bytes || bytes->size() != key.size()) return std::nullopt;
    std::memcpy(key.data(), bytes->data(), key.size());
    return key;
}

}  // namespace nb::platform
