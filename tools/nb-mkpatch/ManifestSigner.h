#pragma once
#include <string>
#include <vector>

#include "PatchFileList.h"
#include "update/PatchManifest.h"

namespace nb::mkpatch {

// SHA-256 and size of a file, read once. False with `error` set when it cannot be read.
bool HashFile(const std::string& path, Sha256Bytes& digest, uint64_t& size, std::string& error);

// Makes a new Ed25519 key pair: the private key goes to `keyFile` as PEM (mode 0600; an
// existing file is never replaced), the public key's 32 bytes to `publicKey`.
bool GenerateKey(const std::string& keyFile, platform::Ed25519PublicKey& publicKey, std::string& error);

// An operator's private key, read from a PEM file.
class SigningKey {
public:
    ~SigningKey() { m_seed.fill(0); }
    bool Load(const std::string& keyFile, std::string& error);
    const platform::Ed25519Seed& Seed() const { return m_seed; }

private:
    platform::Ed25519Seed m_seed{};
};

// Writes the signed manifest of `archive` (whose control values are given) beside it: every
// entry of `build` with its size, SHA-256 and mode. The file appears whole or not at all.
bool WriteSignedManifest(const std::string& archive, const PatchManifest& control,
                         const std::vector<PatchEntry>& build, const SigningKey& key, std::string& error);

// Checks a manifest against its archive and, when `installDir` is not empty, the files of an
// installation. Prints one line per failure to standard error; true when everything holds.
bool VerifyPatch(const std::vector<platform::Ed25519PublicKey>& keys, const std::string& manifestFile,
                 const std::string& archive, const std::string& installDir);

}  // namespace nb::mkpatch
