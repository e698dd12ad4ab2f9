#include "update/RepairInstallation.h"

#include <algorithm>
#include <cinttypes>
#include <map>
#include <memory>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "update/Download.h"
#include "update/FreeSpaceCheck.h"
#include "update/PatchVerification.h"
#include "update/ReleaseKeys.h"
#include "update/RepairRangeSource.h"
#include "update/UpdateDecision.h"
#include "update/ZipArchive.h"

namespace nb {
namespace {

// The end of an archive without a comment: its end record and the ZIP64 ones. The reader
// asks for the rest of the last 64 KiB itself when a comment hides the end record.
constexpr uint64_t kTailBytes = 1024;
// What one read of the directory takes over the network: a record and the next, usually.
constexpr size_t kDirectoryReadAhead = 1024;
// A directory record as nb-mkpatch writes it: the fixed part, the name, a timestamp block.
constexpr uint64_t kRecordFixed = 46;
constexpr uint64_t kRecordTimestamp = 9;
// The most a local record can add to its stored bytes: header, name, extra field, descriptor.
constexpr uint64_t kLocalOverhead = 30 + 0xFFFF + 0xFFFF + 24;

// The zip reader owns its source; the repair keeps the range source to plan and count.
class BorrowedSource final : public platform::ByteSource {
public:
    explicit BorrowedSource(platform::ByteSource& source) : m_source(source) {}
    uint64_t Size() const override { return m_source.Size(); }
    bool ReadAt(uint64_t offset, void* data, size_t size) override { return m_source.ReadAt(offset, data, size); }

private:
    platform::ByteSource& m_source;
};

struct Member {
    int32_t index = 0;
    uint64_t record = 0;  // where its directory record starts; 0 when found by walking
    uint64_t start = 0;
    uint64_t end = 0;  // where the next item's record (or the directory) begins
    uint64_t stored = 0;
    const ManifestFile* file = nullptr;
};

bool Fail(RepairReport& report, std::string why) {
    if (report.error.empty()) report.error = std::move(why);
    return false;
}

// Reads only the records of `damaged` (and of the file after each), where they must lie when
// the archive lists the build's files in the manifest's order with nothing but a timestamp
// block (as nb-mkpatch does): their sizes then follow from the names. The directory's size
// and every name read confirm the guess; false when anything differs, for a walk instead.
bool LocateMembers(ZipArchive& archive, const PatchManifest& manifest,
                   const std::vector<const ManifestFile*>& damaged, std::vector<Member>& members,
                   RepairReport& report) {
    std::vector<uint64_t> records(manifest.files.size() + 1);
    std::map<std::string, size_t> position;
    uint64_t at = archive.CentralDirectoryStart();
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        records[i] = at;
        position.emplace(manifest.files[i].path, i);
        at += kRecordFixed + manifest.files[i].path.size() + kRecordTimestamp;
    }
    records.back() = at;
    if (at != archive.CentralDirectoryEnd()) return false;
    std::vector<Member> found;
    for (const ManifestFile* f : damaged) {
        const auto where = position.find(f->path);
        if (where == position.end()) return false;
        const size_t k = where->second;
        ZipStoredItem item, following;
        uint64_t next = 0;
        if (archive.GetStoredItemAt(records[k], item, next) != ZipResult::kOk || item.path != f->path ||
            next != records[k + 1])
            return false;
        uint64_t end = archive.CentralDirectoryStart();
        if (k + 1 < manifest.files.size()) {
            if (archive.GetStoredItemAt(records[k + 1], following, next) != ZipResult::kOk) return false;
            end = following.localOffset;
        }
        if (end <= item.localOffset) return false;
        found.push_back(Member{static_cast<int32_t>(k), records[k], item.localOffset, end, item.compressedSize, f});
    }
    for (const Member& m : found) report.membersStored += m.stored;
    members = std::move(found);
    return true;
}

// The members that hold `damaged`, in archive order, each with the bytes up to the next record.
bool PlanMembers(ZipArchive& archive, const std::vector<const ManifestFile*>& damaged,
                 std::vector<Member>& members, RepairReport& report) {
    ZipItemInfo count;
    archive.GetItemInfo(-1, count);
    std::map<std::string, const ManifestFile*> wanted;
    for (const ManifestFile* f : damaged) wanted.emplace(f->path, f);
    std::vector<uint64_t> starts;
    for (int32_t i = 0; i < count.index; ++i) {
        ZipStoredItem item;
        if (archive.GetStoredItem(i, item) != ZipResult::kOk)
            return Fail(report, "the full archive's central directory is damaged at item " + std::to_string(i));
        starts.push_back(item.localOffset);
        const auto found = wanted.find(item.path);
        if (found == wanted.end()) continue;
        members.push_back(Member{i, 0, item.localOffset, 0, item.compressedSize, found->second});
        wanted.erase(found);
    }
    // Restored or not, the others are still worth restoring.
    for (const auto& missing : wanted) Fail(report, "the full archive has no member " + missing.first);
    std::sort(starts.begin(), starts.end());
    const uint64_t directory = archive.CentralDirectoryStart();
    for (Member& m : members) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), m.start);
        const uint64_t limit = m.start + m.stored + kLocalOverhead;
        m.end = std::min(next == starts.end() ? directory : *next, limit);
        if (m.end <= m.start) m.end = std::min(directory, limit);
        report.membersStored += m.stored;
    }
    return true;
}

// One request for each run of adjacent members.
bool FetchMembers(RepairRangeSource& source, std::vector<Member> members, const RepairHooks& hooks,
                  RepairReport& report) {
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.start < b.start; });
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    uint64_t planned = source.BytesFetched();
    for (const Member& m : members) {
        if (!runs.empty() && runs.back().second >= m.start) {
            runs.back().second = std::max(runs.back().second, m.end);
        } else {
            runs.emplace_back(m.start, m.end);
        }
    }
    for (const auto& run : runs) planned += run.second - run.first;
    source.m_onFetched = [&](uint64_t fetched) {
        if (hooks.onFetched) hooks.onFetched(planned, fetched);
    };
    for (const auto& run : runs) {
        if (!source.Prefetch(run.first, run.second)) {
            source.m_onFetched = nullptr;
            return Fail(report, "fetching the members: " + source.Error());
        }
    }
    source.m_onFetched = nullptr;
    return true;
}

bool ExtractMembers(ZipArchive& archive, const PatchManifest& manifest, std::vector<Member> members,
                    RepairReport& report) {
    // In directory order, so the reader walks its directory once.
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.index < b.index; });
    ManifestItemCheck check(manifest);
    for (const Member& m : members) {
        ZipItemInfo info;
        ZipResult result =
            m.record ? archive.GetItemInfoAt(m.index, m.record, info) : archive.GetItemInfo(m.index, info);
        if (result != ZipResult::kOk) {
            Fail(report, "the full archive's member " + m.file->path + " cannot be read");
            continue;
        }
        if (const std::string why = check.Expect(info); !why.empty()) {
            Fail(report, why);
            continue;
        }
        result = m.record ? archive.ExtractItemAt(m.index, m.record, m.file->path, &check)
                          : archive.ExtractItem(m.index, m.file->path, &check);
        if (result == ZipResult::kOk) {
            ++report.repaired;
            TraceLog("repair: restored %s\n", m.file->path.c_str());
        } else if (!check.Refusal().empty()) {
            Fail(report, check.Refusal());
        } else if (result == ZipResult::kWriteFailed || result == ZipResult::kCannotOpen) {
            Fail(report, "cannot write " + m.file->path + " (is the disk full?)");
        } else {
            Fail(report, "the full archive's bytes of " + m.file->path + " are damaged (error " +
                             std::to_string(static_cast<uint32_t>(result)) + ")");
        }
    }
    return report.error.empty();
}

}  // namespace

std::string FullArchiveName(int32_t build) {
    return "NBFULL" + std::to_string(build) + ".nbupd";
}

bool RestoreFiles(const PatchManifest& manifest, const std::vector<const ManifestFile*>& damaged,
                  const std::string& archiveUrl, const RepairHooks& hooks, RepairReport& report) {
    report = RepairReport{};
    if (damaged.empty()) return true;
    const std::string localName = FullArchiveName(manifest.buildTo);
    std::unique_ptr<RepairRangeSource> remote;
    std::unique_ptr<ZipArchive> archive;
    std::string error;
    const RepairRangeSource::OpenResult opened =
        RepairRangeSource::Open(archiveUrl, localName + ".ranges", kTailBytes, hooks.stop, remote, error);
    if (opened == RepairRangeSource::OpenResult::kFailed) return Fail(report, archiveUrl + ": " + error);

    if (opened == RepairRangeSource::OpenResult::kOk) {
        archive = ZipArchive::Open(std::make_unique<BorrowedSource>(*remote), nullptr, kDirectoryReadAhead);
    } else {
        TraceLog("repair: %s ignores Range requests: the whole archive is fetched\n", archiveUrl.c_str());
        report.wholeArchive = true;
        const bool fetched = DownloadUrlToFile(archiveUrl, localName, true);
        uint64_t size = 0;
        if (std::unique_ptr<platform::ByteSource> file = platform::OpenFileSource(localName)) size = file->Size();
        report.bytesFetched = size;
        if (hooks.onFetched) hooks.onFetched(size, size);
        if (!fetched) {
            platform::RemoveFile(localName);
            return Fail(report, archiveUrl + ": the whole archive could not be fetched");
        }
        archive = ZipArchive::Open(localName);
    }

    bool ok = archive != nullptr;
    if (!ok) Fail(report, archiveUrl + ": not a zip archive, or its central directory is cut or damaged");
    std::vector<Member> members;
    if (ok && !LocateMembers(*archive, manifest, damaged, members, report)) {
        // Another writer's archive: the whole directory in one request, then walked.
        if (remote && !remote->Prefetch(archive->CentralDirectoryStart(), archive->CentralDirectoryEnd()))
            ok = Fail(report, "fetching the central directory: " + remote->Error());
        if (ok) ok = PlanMembers(*archive, damaged, members, report);
    }
    if (ok && remote) {
        // The spool takes the members, and each file is written whole beside its target.
        for (const Member& m : members) report.spaceNeeded += m.end - m.start + m.file->size;
        report.missingSpace = MissingSpace(platform::CurrentFolder(), report.spaceNeeded);
        if (report.missingSpace > 0)
            ok = Fail(report, "the disk lacks " + std::to_string(report.missingSpace) + " of the " +
                                  std::to_string(report.spaceNeeded) + " bytes the repair needs");
    }
    if (ok && remote && !members.empty()) ok = FetchMembers(*remote, members, hooks, report);
    if (remote) report.bytesFetched = remote->BytesFetched();
    if (ok) ExtractMembers(*archive, manifest, members, report);
    if (archive && report.repaired > 0 && !archive->FlushExtracted()) Fail(report, "cannot flush the restored files");
    archive.reset();
    remote.reset();  // drops the spool
    if (report.wholeArchive) platform::RemoveFile(localName);
    return report.error.empty();
}

bool RepairInstallation(LauncherContext& context, const std::atomic<bool>& stop) {
    auto fail = [&](const std::string& why) {
        TraceLog("repair failed: %s\n", why.c_str());
        if (!stop.load(std::memory_order_relaxed)) context.ShowNumberedMessage(kMessageRepairFailed);
        return false;
    };
    const ReleaseKeys keys = BuiltInReleaseKeys();
    if (!keys.required) return fail("this launcher has no release key, so no manifest can be trusted");
    PatchManifest manifest;
    std::string error;
    if (!LoadInstalledManifest(kInstalledManifest, context.m_nLocalBuild, keys.keys, manifest, error))
        return fail(error);

    context.m_fDownTotal.store(0.0f, std::memory_order_relaxed);
    context.m_fDownDone.store(0.0f, std::memory_order_relaxed);
    context.m_fUnzipDone.store(0.0f, std::memory_order_relaxed);
    context.m_fUnzipTotal.store(static_cast<float>(manifest.files.size()), std::memory_order_relaxed);
    std::vector<const ManifestFile*> damaged;
    const VerifyProgress progress = [&](size_t checked, uint64_t) {
        context.m_fUnzipDone.store(static_cast<float>(checked), std::memory_order_relaxed);
    };
    if (!FindDamagedFiles(manifest, "./", progress, &stop, damaged)) return false;  // the launcher is closing
    TraceLog("repair: %u of %u files of build %d are missing or damaged\n",
             static_cast<unsigned>(damaged.size()), static_cast<unsigned>(manifest.files.size()),
             static_cast<int>(manifest.buildTo));

    RepairHooks hooks;
    hooks.stop = &stop;
    hooks.onFetched = [&](uint64_t planned, uint64_t fetched) {
        context.m_fDownTotal.store(static_cast<float>(planned), std::memory_order_relaxed);
        context.m_fDownDone.store(static_cast<float>(fetched), std::memory_order_relaxed);
    };
    RepairReport report;
    const std::string url = context.m_strUpdateURL + FullArchiveName(manifest.buildTo);
    if (!RestoreFiles(manifest, damaged, url, hooks, report)) {
        if (stop.load(std::memory_order_relaxed)) return false;
        if (report.missingSpace > 0) {
            TraceLog("repair failed: %s\n", report.error.c_str());
            ReportMissingSpace(context, "the repair", report.spaceNeeded, report.missingSpace);
            return false;
        }
        return fail(std::to_string(report.repaired) + " of " + std::to_string(damaged.size()) +
                    " files restored; " + report.error);
    }
    TraceLog("repair: %u files restored, %" PRIu64 " bytes fetched\n", static_cast<unsigned>(report.repaired),
             report.bytesFetched);
    context.ShowNumberedMessage(kMessageRepairDone);
    context.m_nUpdateState.store(kStateServerPage, std::memory_order_relaxed);
    platform::StartProcess(RestartCommandLine(context.m_strInstallPath, context.m_strCmdArg));
    Ui().CloseMainWindow();
    return true;
}

}  // namespace nb
