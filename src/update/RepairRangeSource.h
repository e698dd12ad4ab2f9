#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/ByteSource.h"

namespace nb {

// A file on a web server read with HTTP Range requests, so that a zip reader can take its
// central directory and a few members without the rest. Every byte that arrives is appended
// to a spool file and read back from there: nothing is asked for twice, and a member of any
// size costs no memory. A read of bytes not held yet asks for exactly the missing part.
class RepairRangeSource final : public platform::ByteSource {
public:
    enum class OpenResult {
        kOk,
        kRangesIgnored,  // the server answered the first Range request with the whole file (200)
        kFailed,
    };

    // Asks for the last `tailBytes` of the file (where a zip archive keeps its directory) and
    // learns its size from the reply. `spoolPath` is made afresh (a leftover one is dropped).
    static OpenResult Open(const std::string& url, const std::string& spoolPath, uint64_t tailBytes,
                           const std::atomic<bool>* stop, std::unique_ptr<RepairRangeSource>& out,
                           std::string& error);
    ~RepairRangeSource() override;

    uint64_t Size() const override { return m_nSize; }
    bool ReadAt(uint64_t offset, void* data, size_t size) override;

    // Fetches the parts of [start, end) not held yet, one request for each.
    bool Prefetch(uint64_t start, uint64_t end);

    // Body bytes received so far, every request counted.
    uint64_t BytesFetched() const { return m_nFetched; }
    // Why the last failed call failed.
    const std::string& Error() const { return m_strError; }
    // Sees the running count of BytesFetched as bytes arrive.
    std::function<void(uint64_t)> m_onFetched;

private:
    struct Span {
        uint64_t end = 0;
        uint64_t spoolOffset = 0;
    };
    RepairRangeSource() = default;
    // One request for "bytes=first-last" (a suffix request when suffix is set) appended to
    // the spool. The reply must be a 206 for exactly the bytes asked for.
    bool Fetch(uint64_t first, uint64_t last, bool suffix);

    std::string m_strUrl;
    std::string m_strSpool;
    const std::atomic<bool>* m_pStop = nullptr;
    uint64_t m_nSize = 0;
    uint64_t m_nFetched = 0;
    bool m_bRangesIgnored = false;
    std::map<uint64_t, Span> m_spans;  // start -> held bytes
    std::unique_ptr<platform::ByteSource> m_reader;  // the spool as of the last fetch
    std::string m_strError;
};

}  // namespace nb
