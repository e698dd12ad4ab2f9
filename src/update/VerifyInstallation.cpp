#include "update/VerifyInstallation.h"

#include <algorithm>
#include <memory>

#include "platform/ByteSource.h"
#include "platform/Digest.h"
#include "platform/Files.h"

namespace nb {
namespace {

// Large enough that a disk streams, small enough that progress moves.
constexpr size_t kReadBlock = 4u << 20;

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

}  // namespace

bool KeepInstalledManifest(const PatchManifest& manifest, const std::string& path) {
    return !manifest.signedText.empty() && platform::ReplaceFileAtomically(path, manifest.signedText);
}

bool LoadInstalledManifest(const std::string& path, int32_t installedBuild,
                           const std::vector<platform::Ed25519PublicKey>& keys, PatchManifest& out,
                           std::string& error) {
    std::string text;
    if (!platform::FileExists(path) || !platform::ReadWholeFile(path, text)) {
        error = path + " is missing or unreadable: the installation was not made by a signed patch";
        return false;
    }
    PatchManifest manifest;
    if (!ParsePatchManifest(text, keys, manifest, error)) {
        error = path + ": " + error;
        return false;
    }
    if (manifest.buildTo != installedBuild) {
        error = path + " describes build " + std::to_string(manifest.buildTo) + ", the installation is at build " +
                std::to_string(installedBuild);
        return false;
    }
    out = std::move(manifest);
    return true;
}

bool FindDamagedFiles(const PatchManifest& manifest, const std::string& root, const VerifyProgress& progress,
                      const std::atomic<bool>* stop, std::vector<const ManifestFile*>& damaged) {
    damaged.clear();
    std::vector<unsigned char> buffer;
    uint64_t bytesRead = 0;
    size_t checked = 0;
    for (const ManifestFile& file : manifest.files) {
        if (Stopped(stop)) return false;
        std::unique_ptr<platform::ByteSource> source = platform::OpenFileSource(root + file.path);
        bool good = source && source->Size() == file.size;
        if (good) {
            platform::Digest digest(platform::DigestKind::kSha256);
            if (buffer.empty()) buffer.resize(kReadBlock);
            for (uint64_t at = 0; good && at < file.size;) {
                if (Stopped(stop)) return false;
                const size_t n = static_cast<size_t>(std::min<uint64_t>(file.size - at, buffer.size()));
                good = source->ReadAt(at, buffer.data(), n);
                if (good) digest.Update(buffer.data(), n);
                at += n;
                bytesRead += n;
                if (progress) progress(checked, bytesRead);
            }
            Sha256Bytes value{};
            good = good && digest.Finish(value.data(), value.size()) && value == file.sha256;
        }
        if (!good) damaged.push_back(&file);
        ++checked;
        if (progress) progress(checked, bytesRead);
    }
    return true;
}

}  // namespace nb
