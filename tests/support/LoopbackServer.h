#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace nb::test {

// An HTTP/1.1 server for tests: 127.0.0.1 on a port the system picks, answering from
// threads of its own until it is destroyed. It serves fixed bodies by path and honours
// "Range: bytes=N-" the way web servers do (206 with Content-Range, or 416 with
// "bytes */size" when N is at or past the end); other paths get 404. Every request is
// recorded. The switches below make it misbehave the ways real servers do; they apply to
// every reply sent after they are set, served bodies and handlers alike.
//
// The constructor removes the proxy variables (http_proxy, ...) from the environment, so
// that libcurl in the test process talks to the server directly.
class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string path;                                          // without the query
        std::string target;                                        // path and query as sent
        std::vector<std::pair<std::string, std::string>> headers;  // values trimmed; not in sent order
        std::vector<std::pair<std::string, std::string>> params;   // the query, decoded
        std::string body;

        bool HasHeader(const std::string& name) const;      // name without regard to case
        size_t HeaderCount(const std::string& name) const;  // lines of that name
        std::string Header(const std::string& name) const;  // first value; empty when absent
        bool HasParam(const std::string& name) const;
        std::string Param(const std::string& name) const;  // first value; empty when absent
    };
    struct Reply {
        int status = 200;
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string contentType = "text/plain";
    };
    using Handler = std::function<Reply(const Request&)>;

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int Port() const;
    std::string HostPort() const;                    // "127.0.0.1:<port>"
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port>" + path

    // GET (and HEAD) of path answer body as application/octet-stream, Range honoured.
    void Serve(const std::string& path, std::string body);
    // Requests of path with any method are answered by the handler (called on a server thread).
    void Handle(const std::string& path, Handler handler);
    // Requests of path with any method get this reply.
    void Answer(const std::string& path, Reply reply);

    // A Range request gets 200 and the whole body, as from a server without range support.
    void SetIgnoreRange(bool ignore);
    // Every request is answered with this status and body; 0 turns it off.
    void SetFixedStatus(int status, std::string body = {});
    // The reply announces its full Content-Length but the connection is closed after this
    // many body bytes. npos turns it off.
    void SetCutAfter(size_t bytes);
    // The reply sends this many body bytes and then nothing more until ReleaseStall() (or
    // the server is destroyed, which closes the connection). npos turns it off.
    void SetStallAfter(size_t bytes);
    // The body goes out in chunked encoding, without a Content-Length.
    void SetChunked(bool chunked);

    // Blocks until a reply has stalled; false when none did within 30 seconds.
    bool WaitForStall();
    // Stalled replies send the rest of their body.
    void ReleaseStall();

    std::vector<Request> Requests() const;
    size_t RequestCount() const;
    std::vector<std::string> Targets() const;  // each request's path and query as sent

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    struct State;  // shared by the platforms' servers
    struct Impl;   // one platform's server, built on State
    State& Shared() const;
    std::unique_ptr<Impl> m_impl;
};

// A loopback address that refuses connections: a port that was just bound and released.
std::string ClosedLoopbackHost();

}  // namespace nb::test
