#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "platform/Digest.h"
#include "update/PatchManifest.h"
#include "update/ZipArchive.h"

namespace nb {

class LauncherContext;

// The numbered message of a patch that could not be verified.
inline constexpr int kMessageNotVerified = 40;

// Traces why a patch is refused and shows the message; false, for the caller to return.
bool RefuseUnverifiedPatch(LauncherContext& context, const std::string& why);

// Feeds the first `length` bytes of a file to `digest`, reading them once; false when the
// file holds fewer or cannot be read.
bool HashFilePrefix(const std::string& path, uint64_t length, platform::Digest& digest);

// The size and SHA-256 of a whole file, read once.
bool HashWholeFile(const std::string& path, uint64_t& size, Sha256Bytes& digest);

// Empty when the manifest may be applied to an installation at `installedBuild`: it leads
// from a build at or below it to a newer one (an older genuine patch replayed is refused).
std::string CheckManifestBuilds(const PatchManifest& manifest, int32_t installedBuild);

// Empty when an archive of `size` bytes with `digest` is the one the manifest signs.
std::string CheckArchive(const PatchManifest& manifest, uint64_t size, const Sha256Bytes& digest);

// Empty when the archive's control values are the manifest's.
std::string CheckControlValues(const PatchManifest& manifest, int32_t buildFrom, int32_t buildTo,
                               const std::string& finalVersion);

// The files of a manifest by path, checked against the items of its archive: each item's
// name, size and permission bits before anything is extracted, its bytes as it is.
class ManifestItemCheck : public ZipItemCheck {
public:
    explicit ManifestItemCheck(const PatchManifest& manifest);

    // Empty when the item is listed with its size and mode (directories pass); the item
    // then is the one the next extraction checks.
    std::string Expect(const ZipItemInfo& item);

    void Data(const unsigned char* data, size_t size) override;
    bool Accept() override;
    // Why the last extraction was refused; empty when it was not.
    const std::string& Refusal() const { return m_refusal; }

private:
    std::map<std::string, const ManifestFile*> m_files;
    const ManifestFile* m_expected = nullptr;
    std::string m_name;
    platform::Digest m_digest{platform::DigestKind::kSha256};
    std::string m_refusal;
};

}  // namespace nb
