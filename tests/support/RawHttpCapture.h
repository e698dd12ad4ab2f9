#pragma once
#include <memory>
#include <string>
#include <vector>

namespace nb::test {

// A bare TCP listener on 127.0.0.1 (a port the system picks) that keeps each request
// exactly as it arrived, byte for byte, where an HTTP library would normalise the header
// lines; for checking the precise request a client sends. Every request is answered with
// one fixed raw reply, and the connection is closed after it.
class RawHttpCapture {
public:
    // reply: the whole response as it goes on the wire, status line included. holdOpen: the
    // connection is not closed after the reply but kept, silent, until the client leaves or
    // the capture ends (a server that stalls in the middle of a body).
    explicit RawHttpCapture(std::string reply, bool holdOpen = false);
    ~RawHttpCapture();
    RawHttpCapture(const RawHttpCapture&) = delete;
    RawHttpCapture& operator=(const RawHttpCapture&) = delete;

    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port>" + path

    // The requests so far: request line and header lines up to and including the empty
    // line, then the body when the request announced one with Content-Length.
    std::vector<std::string> Requests() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace nb::test
