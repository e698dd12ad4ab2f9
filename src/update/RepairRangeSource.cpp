#include "update/RepairRangeSource.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "platform/Files.h"
#include "platform/HttpPartFile.h"
#include "platform/HttpTransfer.h"

namespace nb {
namespace {

constexpr const char* kAgentPrefix = "Update Download ";
constexpr const char* kHeaderBlock = "Accept: */*\r\nPragma: no-cache\r\n";

std::string FileNamePart(const std::string& url) {
    const size_t slash = url.find_last_of('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

}  // namespace

RepairRangeSource::OpenResult RepairRangeSource::Open(const std::string& url, const std::string& spoolPath,
                                                      uint64_t tailBytes, const std::atomic<bool>* stop,
                                                      std::unique_ptr<RepairRangeSource>& out,
                                                      std::string& error) {
    std::unique_ptr<RepairRangeSource> source(new RepairRangeSource());
    source->m_strUrl = url;
    source->m_strSpool = spoolPath;
    source->m_pStop = stop;
    // Whatever a killed run left there describes nothing any more.
    if (!platform::RemoveFile(spoolPath)) {
        error = "cannot remove the leftover " + spoolPath;
        return OpenResult::kFailed;
    }
    if (!source->Fetch(0, std::max<uint64_t>(tailBytes, 1), true)) {
        error = source->m_strError;
        return source->m_bRangesIgnored ? OpenResult::kRangesIgnored : OpenResult::kFailed;
    }
    out = std::move(source);
    return OpenResult::kOk;
}

RepairRangeSource::~RepairRangeSource() {
    m_reader.reset();
    if (!m_strSpool.empty()) platform::RemoveFile(m_strSpool);
}

bool RepairRangeSource::Fetch(uint64_t first, uint64_t last, bool suffix) {
    // Windows may refuse to append to a file that is open for reading; whatever happens, the
    // spans held stay readable afterwards.
    m_reader.reset();
    struct Reopen {
        RepairRangeSource& self;
        ~Reopen() {
            if (!self.m_spans.empty()) self.m_reader = platform::OpenFileSource(self.m_strSpool);
        }
    } reopen{*this};
    platform::HttpPartFile spool;
    if (spool.Open(m_strSpool) != platform::HttpPartFile::OpenResult::Opened) {
        m_strError = "cannot create " + m_strSpool;
        return false;
    }
    // A failed request may have left bytes behind: the new ones go after them.
    const uint64_t spoolOffset = spool.Size();

    platform::HttpRequest request;
    request.url = m_strUrl;
    request.agent = kAgentPrefix + FileNamePart(m_strUrl);
    request.headers = kHeaderBlock;
    request.headers += suffix ? "Range: bytes=-" + std::to_string(last) + "\r\n"
                              : "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n";
    request.schemes = platform::HttpSchemes::HttpOrHttps;
    request.stop = m_pStop;

    m_strError.clear();
    uint64_t start = 0, end = 0, received = 0;
    platform::HttpReceiver receiver;
    receiver.onHead = [&](const platform::HttpHead& head) {
        if (head.status == 200) {
            m_bRangesIgnored = true;
            m_strError = "the server ignores Range requests";
            return false;
        }
        if (head.status != 206) {
            m_strError = "the server answered " + std::to_string(head.status) + " to a Range request";
            return false;
        }
        const std::optional<std::string> range = platform::HttpHeaderValue(head.headers, "Content-Range");
        const platform::HttpContentRange parsed = platform::ParseContentRange(range.value_or(std::string()));
        if (!parsed.hasStart || !parsed.hasTotal || parsed.end >= parsed.total) {
            m_strError = "the server's 206 reply has no usable Content-Range";
            return false;
        }
        const uint64_t a = parsed.start, b = parsed.end, total = parsed.total;
        const bool asked = suffix ? b + 1 == total && total - a == std::min(last, total)
                                  : a == first && b == last && total == m_nSize;
        if (!asked) {
            m_strError = "the server sent the bytes " + *range + " for another range";
            return false;
        }
        if (suffix) m_nSize = total;
        start = a;
        end = b + 1;
        return true;
    };
    receiver.onBody = [&](const char* data, size_t size) {
        if (size > end - start - received) {
            m_strError = "the server sent more bytes than the range holds";
            return false;
        }
        if (!spool.Append(data, size)) {
            m_strError = "cannot write " + m_strSpool + " (is the disk full?)";
            return false;
        }
        received += size;
        m_nFetched += size;
        if (m_onFetched) m_onFetched(m_nFetched);
        return true;
    };
    const platform::HttpResult result = platform::HttpGet(request, receiver);
    const bool written = spool.Close();
    if (result.outcome != platform::HttpOutcome::Completed) {
        if (m_strError.empty()) m_strError = result.error.empty() ? "the transfer failed" : result.error;
        return false;
    }
    if (!written) {
        m_strError = "cannot write " + m_strSpool + " (is the disk full?)";
        return false;
    }
    if (received != end - start) {
        m_strError = "the reply ended after " + std::to_string(received) + " of " + std::to_string(end - start) +
                     " bytes";
        return false;
    }
    m_spans[start] = Span{end, spoolOffset};
    return true;
}

bool RepairRangeSource::Prefetch(uint64_t start, uint64_t end) {
    if (start > m_nSize || end > m_nSize || start > end) {
        m_strError = "a range past the end of the file";
        return false;
    }
    for (uint64_t at = start; at < end;) {
        const auto next = m_spans.upper_bound(at);
        if (next != m_spans.begin() && std::prev(next)->second.end > at) {
            at = std::prev(next)->second.end;
            continue;
        }
        const uint64_t gapEnd = next == m_spans.end() ? end : std::min(end, next->first);
        if (!Fetch(at, gapEnd - 1, false)) return false;
        at = gapEnd;
    }
    return true;
}

bool RepairRangeSource::ReadAt(uint64_t offset, void* data, size_t size) {
    if (offset > m_nSize || size > m_nSize - offset) return false;
    if (size == 0) return true;
    if (!Prefetch(offset, offset + size)) return false;
    if (!m_reader) {
        m_strError = "cannot read back " + m_strSpool;
        return false;
    }
    auto* out = static_cast<unsigned char*>(data);
    for (uint64_t at = offset, end = offset + size; at < end;) {
        const auto span = std::prev(m_spans.upper_bound(at));
        const size_t n = static_cast<size_t>(std::min(end, span->second.end) - at);
        if (!m_reader->ReadAt(span->second.spoolOffset + (at - span->first), out, n)) return false;
        out += n;
        at += n;
    }
    return true;
}

}  // namespace nb
