#include "update/Download.h"

#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string_view>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/TraceLog.h"
#include "platform/Digest.h"
#include "platform/Files.h"
#include "platform/HttpPartFile.h"
#include "platform/HttpTransfer.h"
#include "platform/Sleep.h"
#include "update/BackgroundDigest.h"
#include "update/FreeSpaceCheck.h"
#include "update/PatchManifest.h"
#include "update/PatchVerification.h"
#include "update/ReleaseKeys.h"

namespace nb {
namespace {

using platform::HttpOutcome;
using platform::HttpPartFile;

constexpr const char* kTempSuffix = ".dlhalf!";
constexpr const char* kAgentPrefix = "Update Download ";
// The request headers, byte for byte; the Range line of a resumed transfer follows them.
// The no-cache line keeps a caching proxy from answering with an old zone list or patch.
constexpr const char* kHeaderBlock =
    "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\nPragma: no-cache\r\n";
constexpr int kMessageDownloadFailed = 14;
constexpr int kMessageWriteFailed = 32;

std::atomic<const std::atomic<bool>*> g_stopFlag{nullptr};
std::atomic<uint64_t> g_speedLimit{0};

// Growing pauses: a connection that drops once is back at once, one that is down for a
// while is not hammered.
const std::vector<unsigned> kDefaultRetryPauses = {1000, 2000, 4000, 8000, 16000};
std::mutex g_retryMutex;
std::vector<unsigned> g_retryPauses = kDefaultRetryPauses;

std::vector<unsigned> RetryPauses() {
    std::lock_guard<std::mutex> lock(g_retryMutex);
    return g_retryPauses;
}

void ShowMessage(int n) {
    if (LauncherContext* context = TheContext()) context->ShowNumberedMessage(n);
}

bool StopRequested() {
    const std::atomic<bool>* stop = g_stopFlag.load(std::memory_order_acquire);
    return stop && stop->load(std::memory_order_relaxed);
}

// A pause that the stop flag ends within a tenth of a second; false when it did.
bool PauseUnlessStopped(unsigned milliseconds) {
    constexpr unsigned kSlice = 100;
    while (milliseconds > 0) {
        if (StopRequested()) return false;
        const unsigned slice = milliseconds < kSlice ? milliseconds : kSlice;
        platform::SleepMilliseconds(slice);
        milliseconds -= slice;
    }
    return !StopRequested();
}

const char* OutcomeText(HttpOutcome outcome) {
    switch (outcome) {
        case HttpOutcome::Broken:
            return "the connection broke";
        case HttpOutcome::Stalled:
            return "nothing arrived within the stall limit";
        case HttpOutcome::Completed:
            return "the partial reply ended before the file";
        default:
            return "the transfer failed";
    }
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What the final reply means for the temporary file.
enum class Reply {
    Pending,          // no final reply yet
    Append,           // the body continues the temporary file (or fills an empty one)
    Restart,          // the whole file to a Range request: received again from byte 0
    Refetch,          // the temporary file can never be resumed: discarded, asked again whole
    AlreadyComplete,  // 416 naming the temporary file's length as the whole size
    NotFound,         // 404
    Refused,          // any other reply: nothing is written
};

// One request of TransferWithResume.
struct Transfer {
    HttpPartFile* file = nullptr;
    LauncherContext* context = nullptr;
    uint64_t existing = 0;  // bytes of the temporary file before this request's body
    uint64_t received = 0;
    bool rangeSent = false;
    Reply reply = Reply::Pending;
    // The whole file's size when a 206 names it; the file is complete only at that length.
    uint64_t wholeSize = 0;
    bool writeFailed = false;
    DownloadCheck* check = nullptr;
    BackgroundDigest* hasher = nullptr;  // feeds check->digest while the transfer goes on
    std::string tempPath;

    void PublishTotal(uint64_t total) {
        if (context) context->m_fDownTotal.store(static_cast<float>(total), std::memory_order_relaxed);
    }
    void PublishDone() {
        if (context)
            context->m_fDownDone.store(static_cast<float>(existing + received), std::memory_order_relaxed);
    }

    Reply Judge(const platform::HttpHead& head) {
        const int status = head.status;
        if (status == 404) return Reply::NotFound;
        const platform::HttpContentRange range = platform::ParseContentRange(
            platform::HttpHeaderValue(head.headers, "Content-Range").value_or(std::string()));
        if (status == 206) {
            // A partial reply continues the file only where the file ends; one that starts at 0
            // answers a request without Range as well as one with it.
            if (range.hasStart && range.start == existing) {
                if (range.hasTotal) wholeSize = range.total;
                return Reply::Append;
            }
            return rangeSent ? Reply::Refetch : Reply::Refused;
        }
        if (status == 416) {
            if (!rangeSent) return Reply::Refused;
            if (range.hasTotal && !range.hasStart && range.total == existing) return Reply::AlreadyComplete;
            return Reply::Refetch;
        }
        if (status >= 200 && status < 300) return rangeSent ? Reply::Restart : Reply::Append;
        return Reply::Refused;
    }

    // The digest starts afresh with every reply, then takes the bytes the file keeps.
    bool StartDigest() {
        if (!check || !check->digest) return true;
        hasher->Wait();
        uint8_t scratch[32];
        check->digest->Finish(scratch, sizeof scratch);
        if (existing == 0) return true;
        if (!HashFilePrefix(tempPath, existing, *check->digest)) {
            check->unreadable = true;
            return false;
        }
        return true;
    }

    bool HaveRoom(uint64_t announced) {
        if (!check || !check->haveRoom) return true;
        uint64_t toCome = announced;
        if (toCome == 0 && check->maxSize != UINT64_MAX && check->maxSize > existing) toCome = check->maxSize - existing;
        if (check->haveRoom(toCome)) return true;
        check->noRoom = true;
        return false;
    }

    bool Exceeds(uint64_t size) {
        if (!check || size <= check->maxSize) return false;
        check->tooLong = true;
        return true;
    }

    // Decides at the final reply's head, before any body byte, so that an error page never
    // reaches the file.
    bool OnHead(const platform::HttpHead& head) {
        reply = Judge(head);
        uint64_t announced = 0;
        platform::ParseHttpNumber(platform::HttpHeaderValue(head.headers, "Content-Length").value_or(std::string()),
                      announced);
        if (reply == Reply::Restart || reply == Reply::Refetch) {
            // What the temporary file held is stale.
            if (!file->Discard()) {
                writeFailed = true;
                return false;
            }
            existing = 0;
        }
        if (reply == Reply::Append || reply == Reply::Restart || reply == Reply::AlreadyComplete) {
            if (Exceeds(existing + announced) || Exceeds(wholeSize)) return false;
            if (reply != Reply::AlreadyComplete && !HaveRoom(announced)) return false;
            if (!StartDigest()) return false;
        }
        switch (reply) {
            case Reply::Refetch:
                return false;
            case Reply::Restart:
            case Reply::Append:
                PublishTotal(announced + existing);
                PublishDone();
                return true;
            case Reply::AlreadyComplete:
                PublishTotal(existing);
                PublishDone();
                return false;
            default:
                return false;
        }
    }

    bool OnBody(const char* data, size_t size) {
        if (Exceeds(existing + received + size)) return false;
        if (!file->Append(data, size)) {
            writeFailed = true;
            return false;
        }
        if (hasher) hasher->Update(data, size);
        received += size;
        PublishDone();
        return true;
    }
};

// Requests url until the temporary file holds it or the reply says it cannot: a temporary
// file that the server says cannot be resumed is discarded and the file asked for once more
// from its start.
bool TransferWithResume(const std::string& url, const std::string& agent, const std::string& tempPath,
                        DownloadCheck* check, DownloadRetries retries) {
    HttpPartFile file;
    if (file.Open(tempPath) != HttpPartFile::OpenResult::Opened) {
        ShowMessage(kMessageDownloadFailed);
        return false;
    }

    std::optional<BackgroundDigest> hasher;
    if (check && check->digest) hasher.emplace(*check->digest);

    platform::HttpRequest request;
    request.url = url;
    request.agent = agent;
    request.headers = kHeaderBlock;
    request.followRedirects = true;
    request.schemes = platform::HttpSchemes::HttpOrHttps;
    request.stop = g_stopFlag.load(std::memory_order_acquire);
    request.maxBytesPerSecond = g_speedLimit.load(std::memory_order_relaxed);

    const std::vector<unsigned> pauses = retries == DownloadRetries::kOnBreak ? RetryPauses() : std::vector<unsigned>();
    size_t retry = 0;
    for (;;) {
        Transfer t;
        t.file = &file;
        t.context = TheContext();
        t.existing = file.Size();
        t.rangeSent = t.existing > 0;
        t.check = check;
        t.hasher = hasher ? &*hasher : nullptr;
        t.tempPath = tempPath;
        request.rangeStart.reset();
        if (t.rangeSent) request.rangeStart = t.existing;

        platform::HttpReceiver receiver;
        receiver.onHead = [&t](const platform::HttpHead& head) { return t.OnHead(head); };
        receiver.onBody = [&t](const char* data, size_t size) { return t.OnBody(data, size); };
        const platform::HttpResult result = platform::HttpGet(request, receiver);
        if (hasher) hasher->Wait();

        // With the stale bytes gone no Range goes out again, so this happens once at most.
        if (t.reply == Reply::Refetch && !t.writeFailed) continue;

        if (check && (check->tooLong || check->unreadable || check->noRoom)) {
            // Bytes that cannot be the file asked for are no base for a later resume.
            if (check->tooLong) file.Discard();
            file.Close();
            return false;
        }
        if (check) check->size = t.existing + t.received;

        // A break after the server agreed to send (or a stall before it answered) is resumed
        // from what the file holds now; the retry's Range says where.
        const bool sending = t.reply == Reply::Append || t.reply == Reply::Restart;
        const bool broke = (sending && (result.outcome == HttpOutcome::Broken ||
                                        result.outcome == HttpOutcome::Stalled ||
                                        (result.outcome == HttpOutcome::Completed && t.wholeSize != 0 &&
                                         t.existing + t.received < t.wholeSize))) ||
                           (t.reply == Reply::Pending && result.outcome == HttpOutcome::Stalled);
        if (broke && !t.writeFailed && retry < pauses.size() && !StopRequested()) {
            TraceLog("download %s: %s after %" PRIu64 " bytes; try %d of %d in %u ms\n", url.c_str(),
                     OutcomeText(result.outcome), t.existing + t.received, static_cast<int>(retry + 1),
                     static_cast<int>(pauses.size()), pauses[retry]);
            if (!file.Flush()) {
                file.Close();
                ShowMessage(kMessageWriteFailed);
                return false;
            }
            if (PauseUnlessStopped(pauses[retry++])) continue;
        }

        if (!file.Close()) t.writeFailed = true;
        if (t.writeFailed) {
            ShowMessage(kMessageWriteFailed);
            return false;
        }
        switch (t.reply) {
            case Reply::AlreadyComplete:
                return true;
            case Reply::NotFound:
                ShowMessage(kMessageDownloadFailed);
                return false;
            case Reply::Refused:
            case Reply::Refetch:
                return false;
            case Reply::Pending:
                // No reply at all: the request itself failed (connection, a refused redirect,
                // a stall before the reply). A stop on request is no failure to tell the user.
                if (result.outcome != HttpOutcome::Stopped) ShowMessage(kMessageDownloadFailed);
                return false;
            case Reply::Append:
            case Reply::Restart:
                // A connection that broke, stalled or was stopped keeps the bytes that arrived,
                // and so does a partial reply that ends before the file does.
                return result.outcome == HttpOutcome::Completed &&
                       (t.wholeSize == 0 || t.existing + t.received >= t.wholeSize);
        }
        return false;
    }
}

}  // namespace

void SetDownloadStopFlag(const std::atomic<bool>* stop) {
    g_stopFlag.store(stop, std::memory_order_release);
}

void SetDownloadRetryPauses(std::vector<unsigned> milliseconds) {
    std::lock_guard<std::mutex> lock(g_retryMutex);
    g_retryPauses = milliseconds.empty() ? kDefaultRetryPauses : std::move(milliseconds);
}

void SetDownloadSpeedLimit(uint64_t bytesPerSecond) { g_speedLimit.store(bytesPerSecond, std::memory_order_relaxed); }

uint64_t DownloadSpeedLimit() { return g_speedLimit.load(std::memory_order_relaxed); }

bool DownloadUrlToFile(const std::string& url, const std::string& targetPath, bool quiet, DownloadCheck* check,
                       DownloadRetries retries) {
    const std::string_view scheme = platform::UrlScheme(url);
    if (scheme.empty()) {
        if (!quiet) Ui().ShowSystemBox("URL info erro", "ERRO");
        return false;
    }

    const std::string tempPath = targetPath + kTempSuffix;
    TraceLog("m_strTmpFileName = %s\n", tempPath.c_str());
    const std::string agent = kAgentPrefix + FileNamePart(targetPath);
    TraceLog("strAgentCaption = %s\n", agent.c_str());

    if (!platform::SchemeAllowed(url, platform::HttpSchemes::HttpOrHttps)) return false;
    if (StopRequested()) return false;

    bool ok = TransferWithResume(url, agent, tempPath, check, retries);
    if (ok && !platform::RenameReplacing(tempPath, targetPath)) {
        platform::SleepMilliseconds(1000);
        // The caller reads the target next, so a file left under the temporary name is a failure.
        ok = platform::RenameReplacing(tempPath, targetPath);
    }
    return ok;
}

bool DownloadUrlToMemory(const std::string& url, size_t maxSize, std::string& body, std::string& error,
                         bool& noReply) {
    body.clear();
    noReply = false;
    platform::HttpRequest request;
    request.url = url;
    request.agent = kAgentPrefix + FileNamePart(url);
    request.headers = kHeaderBlock;
    request.followRedirects = true;
    request.schemes = platform::HttpSchemes::HttpOrHttps;
    request.stop = g_stopFlag.load(std::memory_order_acquire);
    bool tooLong = false;
    platform::HttpReceiver receiver;
    receiver.onHead = [](const platform::HttpHead& head) { return head.status == 200; };
    receiver.onBody = [&](const char* data, size_t size) {
        if (size > maxSize - body.size()) {
            tooLong = true;
            return false;
        }
        body.append(data, size);
        return true;
    };
    const platform::HttpResult result = platform::HttpGet(request, receiver);
    if (result.outcome == HttpOutcome::Completed) return true;
    body.clear();
    if (tooLong) {
        error = "longer than " + std::to_string(maxSize) + " bytes";
    } else if (result.outcome == HttpOutcome::Declined) {
        error = "the server answered " + std::to_string(result.head.status);
    } else {
        noReply = result.outcome == HttpOutcome::NoReply || result.outcome == HttpOutcome::Stopped ||
                  result.outcome == HttpOutcome::Stalled;
        error = result.error.empty() ? "the transfer failed" : result.error;
    }
    return false;
}

namespace {

// A manifest lists every file of a build: a few hundred thousand lines at the very most.
constexpr size_t kMaxManifestSize = 64u << 20;


// Asks the download to make sure the installation can take the archive; what is missing is
// told after the transfer has ended, not from inside it.
struct ArchiveRoom {
    uint64_t needed = 0;
    uint64_t missing = 0;

    void Watch(DownloadCheck& check) {
        check.haveRoom = [this](uint64_t bytes) {
            needed = bytes;
            missing = MissingSpace(".", bytes);
            return missing == 0;
        };
    }
    void Report(LauncherContext& context, const DownloadCheck& check) const {
        if (check.noRoom) ReportMissingSpace(context, context.m_strPatchFile.c_str(), needed, missing);
    }
};

// The signed path: the manifest first, then the archive, hashed as it arrives (or as it
// lies on disk) and kept only when it is the one the manifest signs.
bool DownloadVerifiedPatch(LauncherContext& context, const ReleaseKeys& keys) {
    context.m_pPatchManifest.reset();
    const std::string manifestUrl = context.m_strUpdateURL + std::string(kManifestSuffix);
    std::string text, error;
    bool noReply = false;
    if (!DownloadUrlToMemory(manifestUrl, kMaxManifestSize, text, error, noReply)) {
        if (StopRequested()) return false;
        if (noReply) {
            TraceLog("patch manifest %s: %s\n", manifestUrl.c_str(), error.c_str());
            context.ShowNumberedMessage(kMessageDownloadFailed);
            return false;
        }
        return RefuseUnverifiedPatch(context, manifestUrl + ": " + error);
    }
    auto manifest = std::make_shared<PatchManifest>();
    if (!ParsePatchManifest(text, keys.keys, *manifest, error))
        return RefuseUnverifiedPatch(context, manifestUrl + ": " + error);
    error = CheckManifestBuilds(*manifest, context.m_nLocalBuild);
    if (!error.empty()) return RefuseUnverifiedPatch(context, manifestUrl + ": " + error);

    uint64_t size = 0;
    Sha256Bytes digest{};
    if (platform::FileExists(context.m_strPatchFile)) {
        if (HashWholeFile(context.m_strPatchFile, size, digest) && CheckArchive(*manifest, size, digest).empty()) {
            context.m_pPatchManifest = std::move(manifest);
            context.m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
            return true;
        }
        TraceLog("patch archive %s does not match its manifest: fetched again\n", context.m_strPatchFile.c_str());
        if (!platform::RemoveFile(context.m_strPatchFile)) {
            context.ShowNumberedMessage(kMessageWriteFailed);
            return false;
        }
    }

    platform::Digest sha256(platform::DigestKind::kSha256);
    DownloadCheck check;
    check.digest = &sha256;
    check.maxSize = manifest->archiveSize;
    ArchiveRoom room;
    room.Watch(check);
    if (!DownloadUrlToFile(context.m_strUpdateURL, context.m_strPatchFile, false, &check,
                           DownloadRetries::kOnBreak)) {
        if (check.tooLong)
            return RefuseUnverifiedPatch(context, "the archive is longer than the manifest's " +
                                                 std::to_string(manifest->archiveSize) + " bytes");
        room.Report(context, check);
        if (!StopRequested() && !check.noRoom) context.ShowNumberedMessage(kMessageDownloadFailed);
        return false;
    }
    error = sha256.Finish(digest.data(), digest.size()) ? CheckArchive(*manifest, check.size, digest)
                                                         : std::string("the archive could not be hashed");
    if (!error.empty()) {
        // Proven wrong: the next run fetches it whole.
        platform::RemoveFile(context.m_strPatchFile);
        return RefuseUnverifiedPatch(context, error);
    }
    context.m_pPatchManifest = std::move(manifest);
    context.m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
    return true;
}

}  // namespace

namespace {

// Kilobytes per second, digits only; beyond this a limit means nothing on any link.
constexpr uint64_t kMostKilobytesPerSecond = 100u * 1024 * 1024;

bool ParseKilobytesPerSecond(const std::string& text, uint64_t& kbps) {
    return platform::ParseHttpNumber(text, kbps) && kbps <= kMostKilobytesPerSecond;
}

}  // namespace

void LauncherContext::ChooseDownloadLimit(const CommandLineInfo& cmd) {
    uint64_t kbps = 0;
    m_strPassOnOptions.clear();
    if (cmd.m_optMaxDownloadKbps && ParseKilobytesPerSecond(*cmd.m_optMaxDownloadKbps, kbps)) {
        m_strPassOnOptions = " " + std::string(CommandLineInfo::kMaxDownloadOption) + std::to_string(kbps);
    } else {
        if (cmd.m_optMaxDownloadKbps)
            TraceLog("%s%s ignored: not a whole number of kilobytes per second up to %" PRIu64 "\n",
                     std::string(CommandLineInfo::kMaxDownloadOption).c_str(), cmd.m_optMaxDownloadKbps->c_str(),
                     kMostKilobytesPerSecond);
        kbps = 0;
        if (!m_strDownloadLimitSetting.empty() && !ParseKilobytesPerSecond(m_strDownloadLimitSetting, kbps)) {
            TraceLog("max_download_kbps=%s ignored: not a whole number of kilobytes per second up to %" PRIu64 "\n",
                     m_strDownloadLimitSetting.c_str(), kMostKilobytesPerSecond);
            kbps = 0;
        }
    }
    SetDownloadSpeedLimit(kbps * 1024);
    if (kbps > 0) TraceLog("download speed limit: %" PRIu64 " KB/s\n", kbps);
}

bool LauncherContext::DownloadPatch() {
    const ReleaseKeys keys = BuiltInReleaseKeys();
    if (keys.required) return DownloadVerifiedPatch(*this, keys);
    TraceLog("patches are not verified: this launcher has no release key\n");
    if (platform::FileExists(m_strPatchFile)) {
        m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
        return true;
    }
    DownloadCheck check;
    ArchiveRoom room;
    room.Watch(check);
    if (DownloadUrlToFile(m_strUpdateURL, m_strPatchFile, false, &check, DownloadRetries::kOnBreak)) {
        m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
        return true;
    }
    room.Report(*this, check);
    // A transfer ended by the stop flag is the launcher closing, not a failure to report.
    if (!StopRequested() && !check.noRoom) ShowNumberedMessage(kMessageDownloadFailed);
    return false;
}

}  // namespace nb
