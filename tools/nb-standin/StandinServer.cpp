#include "StandinServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "ByteRange.h"
#include "app/Endpoints.h"

namespace nbstandin {

namespace {

constexpr const char* kControlPrefix = "/_standin/";
constexpr size_t kChunkBytes = 256 * 1024;  // large files stream in pieces of this size
constexpr int kWorkerThreads = 32;          // stalled bodies each hold one
constexpr size_t kKeepAliveRequests = 100;

struct MimeType {
    const char* extension;
    const char* type;
};
constexpr MimeType kMimeTypes[] = {
    {".html", "text/html"},        {".htm", "text/html"},       {".xml", "text/xml"},
    {".txt", "text/plain"},        {".css", "text/css"},        {".js", "application/javascript"},
    {".json", "application/json"}, {".png", "image/png"},       {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},       {".gif", "image/gif"},       {".svg", "image/svg+xml"},
    {".ico", "image/x-icon"},      {".zip", "application/zip"},
};

std::string ContentTypeOf(const std::string& path) {
    for (const MimeType& mime : kMimeTypes) {
        std::string_view ext = mime.extension;
        if (path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0) {
            return mime.type;
        }
    }
    return "application/octet-stream";
}

// One file body in flight: the open file, where the answered part starts, and its faults.
struct FileBody {
    int fd = -1;
    uint64_t start = 0;
    BodyFaults faults;
    uint64_t generation = 0;
    bool stallOver = false;
    std::chrono::steady_clock::time_point paceStart = std::chrono::steady_clock::now();
    uint64_t pacedFrom = 0;
    std::vector<char> buffer;

    ~FileBody() {
        if (fd >= 0) ::close(fd);
    }
};

void SetText(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text, "text/plain");
}

}  // namespace

StandinServer::StandinServer(const StandinOptions& options)
    : m_options(options), m_faults(options.faults, options.statusByPath), m_accounts(options) {
    if (!options.certFile.empty())
        m_tls = std::make_unique<httplib::SSLServer>(options.certFile.c_str(), options.keyFile.c_str());
    httplib::Server& server = Listener();
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_keep_alive_max_count(kKeepAliveRequests);
    m_server.SetHeadHandler(
        [this](httplib::Request& request, std::string_view head) { OnHead(request, head); });
    if (m_tls) {
        m_tls->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
            std::string head = request.method + " " + request.target + " " + request.version + "\r\n";
            for (const auto& [name, value] : request.headers) {
                // The library files the connection's addresses among the headers.
                if (name == "LOCAL_ADDR" || name == "LOCAL_PORT" || name == "REMOTE_ADDR" || name == "REMOTE_PORT")
                    continue;
                head += name + ": " + value + "\r\n";
            }
            head += "\r\n";
            // The request object is the library's own, mutable one; OnHead adjusts it before
            // the library looks at its ranges and encodings.
            OnHead(const_cast<httplib::Request&>(request), head);
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }
    server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        Route(request, response);
    });
}

httplib::Server& StandinServer::Listener() {
    if (m_tls) return *m_tls;
    return m_server;
}

int StandinServer::Bind(std::string& error) {
    if (!m_options.logFile.empty() && !m_log.Open(m_options.logFile)) {
        error = "cannot open the log file " + m_options.logFile;
        return -1;
    }
    if (m_tls && !m_tls->is_valid()) {
        error = "cannot use the certificate " + m_options.certFile + " with the key " + m_options.keyFile;
        return -1;
    }
    httplib::Server& server = Listener();
    // Without SO_REUSEPORT (the library sets it by default) a second stand-in on a busy
    // port fails to start instead of silently sharing the port with the first one.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    int port = m_options.port;
    bool bound = port == 0 ? (port = server.bind_to_any_port("127.0.0.1")) > 0
                           : server.bind_to_port("127.0.0.1", port);
    if (!bound) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(m_options.port);
        return -1;
    }
    return port;
}

bool StandinServer::Run() {
    if (m_faults.Stopping()) return true;
    return Listener().listen_after_bind();
}

void StandinServer::Stop() {
    m_faults.Stop();
    Listener().stop();
}

void StandinServer::OnHead(httplib::Request& request, std::string_view rawHead) {
    // Ranges are answered here, not by the library, which would also cut ignored ranges and
    // cannot answer 416 with the file's size. Bodies go out as they are, never compressed,
    // so Content-Length and the bytes on the wire always match the file.
    request.ranges.clear();
    request.headers.erase("Accept-Encoding");

    if (request.path.rfind(kControlPrefix, 0) == 0) return;
    ++m_nRequests;
    m_log.Write(rawHead);
    if (m_options.verbose) {
        std::printf("%s %s\n", request.method.c_str(), request.target.c_str());
        std::fflush(stdout);
    }
}

void StandinServer::Route(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (path.rfind(kControlPrefix, 0) == 0) return Control(request, response);
    if (const auto to = m_options.redirectByPath.find(path); to != m_options.redirectByPath.end()) {
        response.set_redirect(to->second, 302);
        return;
    }
    if (int status = m_faults.StatusFor(path); status != 0) {
        response.status = status;
        response.set_content("<html><body><h1>" + std::to_string(status) + "</h1></body></html>\n",
                             "text/html");
        return;
    }

    ServiceReply reply;
    if (path == nb::endpoints::kLoginPath) {
        reply = m_accounts.Login(request.params);
    } else if (path == nb::endpoints::kCodeCheckPath) {
        reply = m_accounts.CheckCode(request.params);
    } else if (path == nb::endpoints::kVerificationImagePath) {
        reply = m_accounts.Picture(request.get_header_value("Cookie"));
    } else {
        return ServeFile(request, response);
    }
    response.status = reply.status;
    for (const auto& [name, value] : reply.headers) response.set_header(name, value);
    response.set_content(reply.body, reply.contentType);
}

void StandinServer::Control(const httplib::Request& request, httplib::Response& response) {
    const std::string what = request.path.substr(std::string_view(kControlPrefix).size());
    std::string error;
    if (what == "fault") {
        if (!m_faults.Apply(request.params, error)) return SetText(response, 400, error + "\n");
        return SetText(response, 200, m_faults.Describe());
    }
    if (what == "account") {
        if (!m_accounts.Apply(request.params, error)) return SetText(response, 400, error + "\n");
        return SetText(response, 200, m_accounts.Describe());
    }
    if (what == "code") {
        auto code = request.has_param("latest") ? m_accounts.LatestCode()
                                                : m_accounts.CodeOf(request.get_param_value("p"));
        if (!code) return SetText(response, 404, "no such session\n");
        return SetText(response, 200, *code);
    }
    if (what == "status") {
        return SetText(response, 200,
                       "requests=" + std::to_string(m_nRequests.load()) + "\n" +
                           "stalled=" + std::to_string(m_faults.StalledCount()) + "\n");
    }
    SetText(response, 404, "unknown control path\n");
}

bool StandinServer::MapToLocal(const std::string& urlPath, std::string& local) const {
    if (urlPath.empty() || urlPath[0] != '/') return false;
    local = m_options.root;
    size_t start = 1;
    while (start <= urlPath.size()) {
        size_t slash = urlPath.find('/', start);
        if (slash == std::string::npos) slash = urlPath.size();
        std::string segment = urlPath.substr(start, slash - start);
        start = slash + 1;
        if (segment.empty() || segment == ".") continue;
        // The decoded path must stay inside the root: no parent steps, no NUL bytes.
        if (segment == ".." || segment.find('\0') != std::string::npos) return false;
        local += "/" + segment;
    }
    return true;
}

void StandinServer::ServeFile(const httplib::Request& request, httplib::Response& response) {
    std::string local;
    struct stat info {};
    if (!MapToLocal(request.path, local) || ::stat(local.c_str(), &info) != 0) {
        return SetText(response, 404, "not found\n");
    }
    if (S_ISDIR(info.st_mode)) {
        local += "/index.html";
        if (::stat(local.c_str(), &info) != 0) return SetText(response, 404, "not found\n");
    }
    if (!S_ISREG(info.st_mode)) return SetText(response, 404, "not found\n");
    auto body = std::make_shared<FileBody>();
    body->fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
    if (body->fd < 0) return SetText(response, 403, "forbidden\n");
    if (::fstat(body->fd, &info) != 0) return SetText(response, 500, "cannot read\n");

    const uint64_t size = static_cast<uint64_t>(info.st_size);
    const std::string type = ContentTypeOf(local);
    body->faults = m_faults.TakeForFile(request.path, body->generation);
    response.set_header("Accept-Ranges", "bytes");

    uint64_t first = 0, length = size;
    response.status = 200;
    if (!body->faults.ignoreRange && request.has_header("Range")) {
        ByteRange range = ByteRange::Parse(request.get_header_value("Range"), size);
        if (range.kind == ByteRange::Kind::kUnsatisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        if (range.kind == ByteRange::Kind::kPart) {
            response.status = 206;
            first = range.first;
            length = range.last - range.first + 1;
            response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                     std::to_string(range.last) + "/" + std::to_string(size));
        }
    }
    if (length == 0) {
        response.set_content("", type);
        return;
    }
    body->start = first;
    body->buffer.resize(static_cast<size_t>(std::min<uint64_t>(length, kChunkBytes)));
    response.set_content_provider(
        static_cast<size_t>(length), type,
        [this, body](size_t offset, size_t remaining, httplib::DataSink& sink) -> bool {
            const BodyFaults& faults = body->faults;
            const uint64_t sent = offset;
            if (faults.cutAfter >= 0 && sent >= static_cast<uint64_t>(faults.cutAfter)) {
                if (faults.reset) CapturingServer::ResetCurrentConnection();
                return false;
            }
            if (faults.stallAfter >= 0 && !body->stallOver &&
                sent >= static_cast<uint64_t>(faults.stallAfter)) {
                if (!m_faults.Stall(body->generation, &CapturingServer::CurrentClientGone)) return false;
                body->stallOver = true;
                body->paceStart = std::chrono::steady_clock::now();
                body->pacedFrom = sent;
                return true;
            }
            uint64_t want = std::min<uint64_t>(remaining, body->buffer.size());
            if (faults.cutAfter >= 0) want = std::min<uint64_t>(want, faults.cutAfter - sent);
            if (faults.stallAfter >= 0 && !body->stallOver)
                want = std::min<uint64_t>(want, faults.stallAfter - sent);
            if (faults.rate > 0) {
                using namespace std::chrono;
                double elapsed = duration<double>(steady_clock::now() - body->paceStart).count();
                double allowed =
                    static_cast<double>(faults.rate) * elapsed - static_cast<double>(sent - body->pacedFrom);
                if (allowed < 1.0) {
                    double waitUs = (1.0 - allowed) / static_cast<double>(faults.rate) * 1e6;
                    auto wait = microseconds(static_cast<int64_t>(std::clamp(waitUs, 1000.0, 100000.0)));
                    return m_faults.SleepFor(wait);
                }
                uint64_t slice = std::max<uint64_t>(static_cast<uint64_t>(faults.rate) / 10, 1);
                want = std::min({want, static_cast<uint64_t>(allowed), slice});
            }
            ssize_t n = ::pread(body->fd, body->buffer.data(), static_cast<size_t>(want),
                                static_cast<off_t>(body->start + offset));
            // A file that shrank while being sent ends the connection rather than padding it.
            if (n <= 0) return false;
            return sink.write(body->buffer.data(), static_cast<size_t>(n));
        });
}

}  // namespace nbstandin
