#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace nb {

class LauncherContext;
class ZipArchive;

// The free-space question (bytes an ordinary write may still take on the file system of a
// folder; false when it cannot be learned). Null restores the platform's answer; tests put
// a nearly full disk here.
using FreeSpaceQuery = std::function<bool(const std::string& folder, uint64_t& bytes)>;
void SetFreeSpaceQuery(FreeSpaceQuery query);

// The bytes that folder's file system lacks to take `bytes` more: 0 when there is room, or
// when its free space cannot be learned (a check that cannot be made does not stop an
// update; the writes themselves still report a full disk).
uint64_t MissingSpace(const std::string& folder, uint64_t bytes);

// Tells the trace how much `what` needs and lacks, and the player message 41 with the
// missing amount in MB.
void ReportMissingSpace(LauncherContext& context, const char* what, uint64_t needed, uint64_t missing);

// Both of the above: true when there is room, otherwise reported and false.
bool EnsureFreeSpace(LauncherContext& context, const std::string& folder, uint64_t bytes, const char* what);

// The most that applying the archive's items in order takes at any moment beyond what the
// installation holds now: each item is written in full beside the file it replaces, and
// that file's room comes back only once the new one has taken its place. Sizes count in
// whole 4 KiB blocks, as file systems allocate them.
uint64_t ApplySpaceNeeded(ZipArchive& archive);

// Message 41's text with the missing amount: "%u" in the text becomes the number of MB
// (rounded up); a text without it gets " <n> MB" appended.
std::string MissingSpaceText(const std::string& text, uint64_t missingBytes);

}  // namespace nb
