#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/PatchManifest.h"

namespace nb {

// The signed manifest of the build last applied, kept in the installation folder. It is
// written before the version file names that build, never after: a crash in between leaves
// the version file at the old build, so the next run applies the same patch again and writes
// both once more. The other order could leave the manifest of an older build beside a newer
// installation for good. Whoever reads it checks that it names the installed build.
inline constexpr const char* kInstalledManifest = "./nbinstalled.manifest";

// Writes the manifest's signed text to `path`, beside it first and then renamed, flushed.
bool KeepInstalledManifest(const PatchManifest& manifest, const std::string& path = kInstalledManifest);

// Reads the installed manifest: its signature must be good by one of `keys` and it must lead
// to `installedBuild`. False with `error` saying why (missing, damaged, another build).
bool LoadInstalledManifest(const std::string& path, int32_t installedBuild,
                           const std::vector<platform::Ed25519PublicKey>& keys, PatchManifest& out,
                           std::string& error);

// Called after every block hashed: files finished so far and bytes read so far.
using VerifyProgress = std::function<void(size_t filesChecked, uint64_t bytesRead)>;

// Checks every file of the manifest under `root` (ending in a separator), one file after the
// other with large sequential reads, so that a spinning disk is not thrashed. `damaged`
// receives the files that are missing, unreadable or differ in size or SHA-256, in the
// manifest's order. False only when `stop` was set.
bool FindDamagedFiles(const PatchManifest& manifest, const std::string& root, const VerifyProgress& progress,
                      const std::atomic<bool>* stop, std::vector<const ManifestFile*>& damaged);

}  // namespace nb
