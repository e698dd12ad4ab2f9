#include "update/UpdateDecision.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/NumberText.h"
#include "app/TraceLog.h"
#include "platform/IniProfile.h"
#include "platform/Process.h"
#include "update/FreeSpaceCheck.h"
#include "update/PatchManifest.h"
#include "update/PatchVerification.h"
#include "update/ReleaseKeys.h"
#include "update/VerifyInstallation.h"
#include "update/ZipArchive.h"

namespace nb {
namespace {

constexpr const char* kControlMember = "ncheck_v.txt";
constexpr const char* kControlFile = "./ncheck_v.txt";
constexpr const char* kVersionSection = "VERSION";

constexpr int kMessageBadArchive = 15;
constexpr int kMessageOutOfRange = 14;
constexpr int kMessageExtractFailed = 25;

}  // namespace

std::string PatchFileName(int32_t installedBuild) {
    return "NBRK" + std::to_string(static_cast<int64_t>(installedBuild) + 1) + ".nbupd";
}

std::string RestartCommandLine(const std::string& installPath, const std::string& cmdArg) {
    std::string line = installPath + kInstalledExe;
    if (line.find_first_of(" \t") != std::string::npos) line = "\"" + line + "\"";
    // Quoted only when it must be, so that a token with blanks or quotes reaches the fresh
    // launcher as one argument, unchanged.
    if (!cmdArg.empty()) {
        line += ' ';
        line += platform::QuoteArgument(cmdArg);
    }
    return line;
}

bool LauncherContext::DecideUpdate() {
    if (m_nLocalBuild >= m_nServerBuild) {
        m_nUpdateState.store(kStateServerPage, std::memory_order_relaxed);
        return true;
    }
    m_strPatchFile = PatchFileName(m_nLocalBuild);
    m_strUpdateURL += m_strPatchFile;
    m_nUpdateState.store(kStateDownloadPatch, std::memory_order_relaxed);
    return true;
}

bool LauncherContext::ApplyPatch() {
    std::unique_ptr<ZipArchive> archive = ZipArchive::Open(m_strPatchFile);
    ZipItemInfo info;
    if (!archive || archive->GetItemInfo(-1, info) != ZipResult::kOk) {
        ShowNumberedMessage(kMessageBadArchive);
        return false;
    }
    const int32_t count = info.index;

    // A signed patch: every item is the manifest's, by name, size and mode, before any is
    // extracted; its bytes are checked as it is, before it takes its place.
    const std::shared_ptr<const PatchManifest> manifest = m_pPatchManifest;
    if (!manifest && BuiltInReleaseKeys().required)
        return RefuseUnverifiedPatch(*this, "no checked manifest for " + m_strPatchFile);
    std::unique_ptr<ManifestItemCheck> check;
    if (manifest) {
        check = std::make_unique<ManifestItemCheck>(*manifest);
        for (int32_t i = 0; i < count; ++i) {
            if (archive->GetItemInfo(i, info) != ZipResult::kOk) {
                ShowNumberedMessage(kMessageBadArchive);
                return false;
            }
            if (info.name == kControlMember) continue;
            if (const std::string why = check->Expect(info); !why.empty())
                return RefuseUnverifiedPatch(*this, why);
        }
    }

    int32_t control = -1;
    for (int32_t i = 0; i < count && control < 0; ++i) {
        if (archive->GetItemInfo(i, info) != ZipResult::kOk) {
            ShowNumberedMessage(kMessageBadArchive);
            return false;
        }
        if (info.name == kControlMember) control = i;
    }
    if (control < 0) {
        ShowNumberedMessage(kMessageBadArchive);
        return false;
    }
    if (archive->ExtractItem(control, info.name) != ZipResult::kOk) {
        ShowNumberedMessage(kMessageBadArchive);
        Ui().CloseMainWindow();
        return false;
    }

    m_nBuildFrom = AtoiSaturating(platform::GetProfileString(kVersionSection, "bfrom", "", kControlFile));
    m_nBuildTo = AtoiSaturating(platform::GetProfileString(kVersionSection, "bto", "", kControlFile));
    m_strFinalVersion = platform::GetProfileString(kVersionSection, "final_version", "", kControlFile, 256);
    if (m_nBuildFrom > m_nLocalBuild || m_nLocalBuild > m_nBuildTo) {
        ShowNumberedMessage(kMessageOutOfRange);
        Ui().CloseMainWindow();
        return false;
    }
    if (manifest) {
        if (const std::string why = CheckControlValues(*manifest, m_nBuildFrom, m_nBuildTo, m_strFinalVersion);
            !why.empty())
            return RefuseUnverifiedPatch(*this, why);
    }

    // Told before the first file changes, not by a write failing half-way.
    if (!EnsureFreeSpace(*this, archive->Root(), ApplySpaceNeeded(*archive), m_strPatchFile.c_str())) return false;

    m_fUnzipDone.store(0.0f, std::memory_order_relaxed);
    m_fUnzipTotal.store(static_cast<float>(count), std::memory_order_relaxed);
    for (int32_t i = 0; i < count; ++i) {
        ZipResult result = archive->GetItemInfo(i, info);
        if (result == ZipResult::kOk && info.name != kControlMember) {
            if (check) check->Expect(info);
            result = archive->ExtractItem(i, info.name, check.get());
            if (result != ZipResult::kOk && check && !check->Refusal().empty())
                return RefuseUnverifiedPatch(*this, check->Refusal());
        }
        if (result != ZipResult::kOk) {
            TraceLog("patch item %d (%s) not extracted: code 0x%08x%s%s\n", static_cast<int>(i), info.name.c_str(),
                     static_cast<unsigned>(result), archive->LastWriteError().empty() ? "" : ", ",
                     archive->LastWriteError().c_str());
            ShowNumberedMessage(kMessageExtractFailed);
            return false;
        }
        m_fUnzipDone.store(static_cast<float>(i + 1), std::memory_order_relaxed);
    }

    // The version file is the record of what is installed: it may only name the new build
    // once the new files are on disk, and if it cannot be written the restarted launcher
    // would apply this patch again and again, so that ends the cycle with a message. A
    // flush can be where a full disk first shows (data written but not yet placed).
    if (!archive->FlushExtracted()) {
        TraceLog("the extracted files of %s could not be flushed to disk\n", m_strPatchFile.c_str());
        ShowNumberedMessage(kMessageExtractFailed);
        return false;
    }
    archive.reset();
    // The manifest goes first: see kInstalledManifest for why a crash between the two is harmless.
    if (manifest && !KeepInstalledManifest(*manifest)) {
        ShowNumberedMessage(kMessageExtractFailed);
        return false;
    }
    if (!platform::WriteProfileStrings(kVersionSection,
                                       {{"build", std::to_string(m_nBuildTo)}, {"ver", m_strFinalVersion}},
                                       kVersionFile)) {
        ShowNumberedMessage(kMessageExtractFailed);
        return false;
    }
    m_nUpdateState.store(kStateServerPage, std::memory_order_relaxed);

    platform::StartProcess(RestartCommandLine(m_strInstallPath, m_strCmdArg) + m_strPassOnOptions);
    Ui().CloseMainWindow();
    return true;
}

}  // namespace nb
