#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nb {

namespace platform {
class Digest;
}

// What a checked download learns on the way. Every byte of the finished file passes
// through `digest` once and in order: the bytes a resumed temporary file already held are
// read once, when the server agrees to continue it, and the new ones as they arrive (hashed
// on a thread of their own while the transfer goes on). The
// file may not grow beyond `maxSize`; a server that sends more ends the call with false and
// the temporary file dropped.
struct DownloadCheck {
    platform::Digest* digest = nullptr;
    uint64_t maxSize = UINT64_MAX;
    uint64_t size = 0;      // the finished file's length
    bool tooLong = false;   // more than maxSize arrived (or was announced)
    bool unreadable = false;  // the temporary file's earlier bytes could not be read back
    // Asked at the reply's head with the bytes still to come (the reply's length, else what
    // maxSize leaves); false ends the call with false before any byte is written, the
    // temporary file kept (the one asked has told the player why).
    std::function<bool(uint64_t bytesToCome)> haveRoom;
    bool noRoom = false;
};

// The launcher's one file download: fetches url into targetPath through the temporary
// file targetPath + ".dlhalf!", resuming a temporary file left by an earlier attempt with
// an HTTP Range request, and renames it to targetPath when the transfer has ended.
// Progress goes to m_fDownTotal / m_fDownDone of the launcher context (TheContext()), when
// one exists. quiet: a malformed address fails without the "URL info erro" box.
//
// http and https are fetched, redirects included; a redirect from https to http is
// refused. A reply to a Range request is appended
// only when it is a 206 that starts at the temporary file's length; a 200 means the server
// ignored the Range and the file is received again from its first byte; a 416 that names the
// temporary file's length as the whole size means the file was already complete. A 416 with
// another size, or a 206 at another offset, means the temporary file can never be resumed:
// its bytes are dropped and the file is asked for once more, whole, in the same call. Any
// other reply, a broken or stalled connection (the limits of platform::HttpLimits()) and the
// stop flag end the call with false and leave the temporary file as it was (plus whatever
// good bytes had arrived), ready for a later resume.
//
// With kOnBreak, a transfer that breaks after the server has agreed to send the file (the
// connection reset or closed early, a stall, a partial reply that ends before the file
// does) is resumed in the same call from the bytes kept, after the pauses of
// SetDownloadRetryPauses (one retry per pause); only when they are used up does the call
// end with false. A refused or failed request, a 404 or a file that cannot be written is
// no break and is not retried. The stop flag also ends a pause.
enum class DownloadRetries { kNone, kOnBreak };
bool DownloadUrlToFile(const std::string& url, const std::string& targetPath, bool quiet,
                       DownloadCheck* check = nullptr, DownloadRetries retries = DownloadRetries::kNone);

// The pauses before the retries of a broken transfer: 1, 2, 4, 8 and 16 seconds unless set,
// so that five retries span about half a minute besides the transfers themselves. Tests
// shorten them; an empty list restores the default.
void SetDownloadRetryPauses(std::vector<unsigned> milliseconds);

// The player's speed limit for file downloads, in bytes per second; 0: none. Applied by the
// transfer seam to every file download that starts after it is set.
void SetDownloadSpeedLimit(uint64_t bytesPerSecond);
uint64_t DownloadSpeedLimit();

// A small document fetched whole into memory (a patch manifest): true for a 200 whose body
// arrived whole and holds at most maxSize bytes; otherwise `error` says why, and `noReply`
// tells a server that could not be reached (or a stop) from one that answered wrongly or
// could not prove who it is.
bool DownloadUrlToMemory(const std::string& url, size_t maxSize, std::string& body, std::string& error,
                         bool& noReply);

// The update worker's stop flag: a running transfer ends (false, temporary file kept)
// within about a second after it is set. Null: no stop flag.
void SetDownloadStopFlag(const std::atomic<bool>* stop);

}  // namespace nb
