#include "update/PatchVerification.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "platform/ByteSource.h"
#include "platform/Files.h"

namespace nb {
namespace {

constexpr size_t kReadBlock = 1 << 20;

bool HashSource(platform::ByteSource& source, uint64_t length, platform::Digest& digest) {
    if (source.Size() < length) return false;
    std::vector<unsigned char> buffer(static_cast<size_t>(std::min<uint64_t>(length, kReadBlock)));
    for (uint64_t at = 0; at < length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length - at, buffer.size()));
        if (!source.ReadAt(at, buffer.data(), n)) return false;
        digest.Update(buffer.data(), n);
        at += n;
    }
    return true;
}

bool IsDirectoryItem(const ZipItemInfo& item) {
    return (item.attributes & kZipAttrDirectory) || (!item.name.empty() && item.name.back() == '/');
}

}  // namespace

bool RefuseUnverifiedPatch(LauncherContext& context, const std::string& why) {
    TraceLog("patch not verified: %s\n", why.c_str());
    context.ShowNumberedMessage(kMessageNotVerified);
    return false;
}

bool HashFilePrefix(const std::string& path, uint64_t length, platform::Digest& digest) {
    std::unique_ptr<platform::ByteSource> source = platform::OpenFileSource(path);
    return source && HashSource(*source, length, digest);
}

bool HashWholeFile(const std::string& path, uint64_t& size, Sha256Bytes& value) {
    std::unique_ptr<platform::ByteSource> source = platform::OpenFileSource(path);
    if (!source) return false;
    platform::Digest digest(platform::DigestKind::kSha256);
    size = source->Size();
    return HashSource(*source, size, digest) && digest.Finish(value.data(), value.size());
}

std::string CheckManifestBuilds(const PatchManifest& m, int32_t installedBuild) {
    if (m.buildTo <= installedBuild)
        return "the manifest leads to build " + std::to_string(m.buildTo) + ", not newer than the installed build " +
               std::to_string(installedBuild);
    if (m.buildFrom > installedBuild)
        return "the manifest applies from build " + std::to_string(m.buildFrom) + ", above the installed build " +
               std::to_string(installedBuild);
    return {};
}

std::string CheckArchive(const PatchManifest& m, uint64_t size, const Sha256Bytes& digest) {
    if (size != m.archiveSize)
        return "the archive holds " + std::to_string(size) + " bytes, the manifest says " +
               std::to_string(m.archiveSize);
    if (digest != m.archiveSha256)
        return "the archive's SHA-256 is " + HexDigest(digest) + ", the manifest says " + HexDigest(m.archiveSha256);
    return {};
}

std::string CheckControlValues(const PatchManifest& m, int32_t buildFrom, int32_t buildTo,
                               const std::string& finalVersion) {
    if (buildFrom != m.buildFrom || buildTo != m.buildTo || finalVersion != m.finalVersion)
        return "the archive's control member (" + std::to_string(buildFrom) + ".." + std::to_string(buildTo) +
               ") is not the manifest's (" + std::to_string(m.buildFrom) + ".." + std::to_string(m.buildTo) + ")";
    return {};
}

ManifestItemCheck::ManifestItemCheck(const PatchManifest& manifest) {
    for (const ManifestFile& f : manifest.files) m_files.emplace(f.path, &f);
}

std::string ManifestItemCheck::Expect(const ZipItemInfo& item) {
    m_expected = nullptr;
    m_refusal.clear();
    m_name = ZipNameToPath(item.name);
    uint8_t scratch[32];
    m_digest.Finish(scratch, sizeof scratch);
    if (IsDirectoryItem(item)) return {};
    const auto found = m_files.find(m_name);
    if (found == m_files.end()) return "the archive's item " + m_name + " is not in the manifest";
    const ManifestFile& f = *found->second;
    if (item.size != f.size)
        return "the archive's item " + m_name + " holds " + std::to_string(item.size) + " bytes, the manifest says " +
               std::to_string(f.size);
    // An archive made on a system without permission bits carries none; then the manifest's
    // mode is only a record.
    if (item.unixMode != 0 && (item.unixMode & 0777) != f.mode)
        return "the archive's item " + m_name + " has other permission bits than the manifest says";
    m_expected = &f;
    return {};
}

void ManifestItemCheck::Data(const unsigned char* data, size_t size) { m_digest.Update(data, size); }

bool ManifestItemCheck::Accept() {
    Sha256Bytes value{};
    const bool finished = m_digest.Finish(value.data(), value.size());
    if (!m_expected) {
        m_refusal = "the item " + m_name + " was not expected";
    } else if (!finished || value != m_expected->sha256) {
        m_refusal = "the item " + m_name + " has SHA-256 " + HexDigest(value) + ", the manifest says " +
                    HexDigest(m_expected->sha256);
    }
    m_expected = nullptr;
    return m_refusal.empty();
}

}  // namespace nb
