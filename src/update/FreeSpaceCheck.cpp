#include "update/FreeSpaceCheck.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/TraceLog.h"
#include "platform/FreeSpace.h"
#include "update/ZipArchive.h"

namespace nb {
namespace {

constexpr int kMessageNotEnoughSpace = 41;
constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kBlock = 4096;

std::mutex g_queryLock;
FreeSpaceQuery g_query;

bool QueryFreeSpace(const std::string& folder, uint64_t& bytes) {
    FreeSpaceQuery query;
    {
        std::lock_guard<std::mutex> lock(g_queryLock);
        query = g_query;
    }
    return query ? query(folder, bytes) : platform::QueryFreeSpace(folder, bytes);
}

uint64_t InBlocks(uint64_t size) {
    return (size + kBlock - 1) / kBlock * kBlock;
}

uint64_t WholeMiB(uint64_t bytes) {
    return (bytes + kMiB - 1) / kMiB;
}

}  // namespace

void SetFreeSpaceQuery(FreeSpaceQuery query) {
    std::lock_guard<std::mutex> lock(g_queryLock);
    g_query = std::move(query);
}

uint64_t MissingSpace(const std::string& folder, uint64_t bytes) {
    uint64_t free = 0;
    if (bytes == 0 || !QueryFreeSpace(folder, free) || free >= bytes) return 0;
    return bytes - free;
}

void ReportMissingSpace(LauncherContext& context, const char* what, uint64_t needed, uint64_t missing) {
    TraceLog("not enough space for %s: %llu bytes needed, %llu missing\n", what,
             static_cast<unsigned long long>(needed), static_cast<unsigned long long>(missing));
    Ui().ShowMessageText(MissingSpaceText(context.MessageText(kMessageNotEnoughSpace), missing));
}

bool EnsureFreeSpace(LauncherContext& context, const std::string& folder, uint64_t bytes, const char* what) {
    const uint64_t missing = MissingSpace(folder, bytes);
    if (missing == 0) return true;
    ReportMissingSpace(context, what, bytes, missing);
    return false;
}

uint64_t ApplySpaceNeeded(ZipArchive& archive) {
    ZipItemInfo info;
    if (archive.GetItemInfo(-1, info) != ZipResult::kOk) return 0;
    const int32_t count = info.index;
    // Growth of the installation after the items so far; signed, as a patch may shrink it.
    int64_t grown = 0;
    uint64_t peak = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (archive.GetItemInfo(i, info) != ZipResult::kOk) return peak;
        if (info.attributes & kZipAttrDirectory) continue;
        const uint64_t size = InBlocks(info.size);
        uint64_t old = 0;
        if (platform::GetRegularFileSize(archive.Root() + ZipNameToPath(info.name), old)) old = InBlocks(old);
        const int64_t during = grown + static_cast<int64_t>(size);
        if (during > 0) peak = std::max(peak, static_cast<uint64_t>(during));
        grown += static_cast<int64_t>(size) - static_cast<int64_t>(old);
    }
    return peak;
}

std::string MissingSpaceText(const std::string& text, uint64_t missingBytes) {
    const std::string amount = std::to_string(std::max<uint64_t>(WholeMiB(missingBytes), 1));
    std::string result = text;
    if (const size_t at = result.find("%u"); at != std::string::npos) return result.replace(at, 2, amount);
    return result + " " + amount + " MB";
}

}  // namespace nb
