#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Digest.h"
#include "platform/Signature.h"

namespace nb {

using Sha256Bytes = platform::Sha256Value;

// One file of the build a patch leads to. `path` is the archive's name for it: code page 936
// bytes, '/'-separated, relative.
struct ManifestFile {
    std::string path;
    uint64_t size = 0;
    Sha256Bytes sha256{};
    uint32_t mode = 0;  // permission bits, at most 0777
};

// What a signed manifest says about one patch archive and the build it leads to.
struct PatchManifest {
    int32_t buildFrom = 0;
    int32_t buildTo = 0;
    std::string finalVersion;  // code page 936, as in the archive's control member
    uint64_t archiveSize = 0;
    Sha256Bytes archiveSha256{};
    std::vector<ManifestFile> files;  // the whole build, not only the files in the archive
    // The signed text it was read from, signature line included: what the installation keeps
    // so that a later check can trust it again.
    std::string signedText;
};

// The manifest of an archive sits beside it under the archive's name plus this.
inline constexpr std::string_view kManifestSuffix = ".manifest";

// The manifest's text up to (not including) its signature line: the bytes a signature
// covers. Names must be valid (see ParsePatchManifest); the caller checks them first.
std::string FormatManifestBody(const PatchManifest& manifest);

// Appends the signature line to a body.
std::string AppendManifestSignature(std::string body, const platform::Ed25519Signature& signature);

// Reads a signed manifest. True only when the text is well formed in every part and its
// signature is good by one of `keys`; otherwise `error` says what is wrong (with the line
// number where one applies) and `out` is left as it was.
bool ParsePatchManifest(std::string_view text, const std::vector<platform::Ed25519PublicKey>& keys,
                        PatchManifest& out, std::string& error);

// Empty when `path` may name a file of a build in a manifest; else why not.
std::string CheckManifestPath(std::string_view path);

// Lower-case hexadecimal, as sha256sum prints a digest.
std::string HexDigest(const Sha256Bytes& digest);

}  // namespace nb
