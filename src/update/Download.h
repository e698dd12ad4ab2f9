#pragma once
#include <atomic>
#include <string>

namespace nb {

// The launcher's one file download: fetches url into targetPath through the temporary
// file targetPath + ".dlhalf!", resuming a temporary file left by an earlier attempt with
// an HTTP Range request, and renames it to targetPath when the transfer has ended.
// Progress goes to m_fDownTotal / m_fDownDone of the launcher context (TheContext()), when
// one exists. quiet: a malformed address fails without the "URL info erro" box.
//
// Only plain http is fetched, redirects included. A reply to a Range request is appended
// only when it is a 206 that starts at the temporary file's length; a 200 means the server
// ignored the Range and the file is received again from its first byte; a 416 that names the
// temporary file's length as the whole size means the file was already complete. A 416 with
// another size, or a 206 at another offset, means the temporary file can never be resumed:
// its bytes are dropped and the file is asked for once more, whole, in the same call. Any
// other reply, a broken or stalled connection (the limits of platform::HttpLimits()) and the
// stop flag end the call with false and leave the temporary file as it was (plus whatever
// good bytes had arrived), ready for a later resume.
bool DownloadUrlToFile(const std::string& url, const std::string& targetPath, bool quiet);

// The update worker's stop flag: a running transfer ends (false, temporary file kept)
// within about a second after it is set. Null: no stop flag.
void SetDownloadStopFlag(const std::atomic<bool>* stop);

}  // namespace nb
