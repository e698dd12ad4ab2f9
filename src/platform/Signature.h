#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nb::platform {

// Ed25519 keys and signatures as raw bytes, so that no crypto library's types reach callers.
using Ed25519PublicKey = std::array<uint8_t, 32>;
using Ed25519Signature = std::array<uint8_t, 64>;
using Ed25519Seed = std::array<uint8_t, 32>;  // the private key as RFC 8032 defines it

// True when `signature` is a valid Ed25519 signature of `message` by `key`. A key the
// library refuses (not a point of the curve) verifies nothing.
bool VerifyEd25519(const Ed25519PublicKey& key, std::string_view message, const Ed25519Signature& signature);

// Signing, for the operator's tool and for tests; the launcher only verifies. nullopt when
// the library refuses.
std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed& seed, std::string_view message);
std::optional<Ed25519PublicKey> Ed25519PublicKeyOf(const Ed25519Seed& seed);

// Standard base64 (RFC 4648 alphabet, '=' padding) in its one canonical spelling: length a
// multiple of four, padding only at the end, unused bits zero, no blanks. Anything else is
// refused, so that one key or signature has exactly one text.
std::optional<std::string> DecodeBase64(std::string_view text);
std::string EncodeBase64(std::string_view bytes);

// A public key given as base64 of its 32 bytes; nullopt for any other text.
std::optional<Ed25519PublicKey> DecodePublicKey(std::string_view base64);

}  // namespace nb::platform
