#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "update/PatchManifest.h"
#include "update/VerifyInstallation.h"

namespace nb {

class LauncherContext;

// Numbered messages of a repair: the two progress labels (files checked, bytes fetched) and
// the two outcomes. Built in when an older strings file lacks them.
inline constexpr int kMessageRepairChecked = 42;
inline constexpr int kMessageRepairFetched = 43;
inline constexpr int kMessageRepairDone = 44;
inline constexpr int kMessageRepairFailed = 45;

// The full archive of build n that the publisher keeps beside the patches: every file of the
// build, so that any of them can be fetched again.
std::string FullArchiveName(int32_t build);

struct RepairHooks {
    const std::atomic<bool>* stop = nullptr;
    // Bytes planned (all the members needed, or the whole archive) and bytes received so far.
    std::function<void(uint64_t planned, uint64_t fetched)> onFetched;
};

struct RepairReport {
    size_t repaired = 0;
    uint64_t bytesFetched = 0;   // every byte received, central directory included
    uint64_t membersStored = 0;  // the stored (compressed) sizes of the members used
    bool wholeArchive = false;   // the server ignored Range: the whole archive was fetched
    uint64_t spaceNeeded = 0;    // bytes the members and the new files take on the disk
    uint64_t missingSpace = 0;   // of which the disk lacked these
    std::string error;           // why the repair failed; empty when every file was restored
};

// Restores `damaged` (files of `manifest`) under the current folder from the full archive at
// `archiveUrl`: its central directory and then only the members needed are read with Range
// requests, adjacent members in one request; where the server ignores Range the whole
// archive is fetched into the current folder and removed afterwards. Each member is checked
// against the manifest (size, mode, SHA-256) before it replaces its file, beside it and
// renamed. A file that cannot be restored is left as it was; the others are still restored.
bool RestoreFiles(const PatchManifest& manifest, const std::vector<const ManifestFile*>& damaged,
                  const std::string& archiveUrl, const RepairHooks& hooks, RepairReport& report);

// The launcher's repair, run by the update worker in the repair state: the installed
// manifest, every file checked, the damaged ones restored; progress in the context (files in
// the extraction values, bytes in the download values). Success shows message 44 and
// restarts the launcher; a failure shows message 45 and the trace says why.
bool RepairInstallation(LauncherContext& context, const std::atomic<bool>& stop);

}  // namespace nb
