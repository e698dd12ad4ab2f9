#pragma once
#include <httplib.h>

#include <functional>
#include <string_view>

namespace nbstandin {

// An httplib server that hands each request's raw head to a callback before routing. The
// callback may also adjust the parsed request, which is still mutable at that point.
class CapturingServer : public httplib::Server {
public:
    using HeadHandler = std::function<void(httplib::Request& request, std::string_view rawHead)>;

    void SetHeadHandler(HeadHandler handler) { m_headHandler = std::move(handler); }

    // For code that runs while a request is answered (a body provider): whether the client
    // of the connection this thread serves has closed it.
    static bool CurrentClientGone();
    // Makes the end of the connection this thread serves a reset (RST) instead of an
    // orderly close, the way a dropped network link or a crashed proxy ends it.
    static void ResetCurrentConnection();

private:
    // Replaces the library's connection loop so that the connection reads through a stream
    // that records the head bytes; the request handling itself stays the library's.
    bool process_and_close_socket(socket_t sock) override;
    bool WaitForNextRequest(const httplib::Stream& stream, bool buffered) const;

    HeadHandler m_headHandler;
};

}  // namespace nbstandin
