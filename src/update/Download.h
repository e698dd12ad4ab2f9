#pragma once
#include <atomic>
#include <string>

namespace nb {

// The launcher's one file download: fetches url into targetPath through the temporary
// file targetPath + ".dlhalf!", resuming a temporary file left by an earlier attempt with
// an HTTP Range request, and renames it to targetPath when the transfer has ended.
// Progress goes to m_fDownTotal / m_fDownDone of the launcher context (TheContext()), when
// one exists. quiet: a malformed address fails without the "URL info erro" box.
bool DownloadUrlToFile(const std::string& url, const std::string& targetPath, bool quiet);

// The update worker's stop flag: a running transfer ends (false, temporary file kept)
// within about a second after it is set. Null: no stop flag.
void SetDownloadStopFlag(const std::atomic<bool>* stop);

}  // namespace nb
