#include "CapturingServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "CapturingStream.h"

namespace nbstandin {

namespace {
constexpr int kPollSliceMs = 100;  // how soon an idle connection notices that the server stops
thread_local socket_t t_connection = INVALID_SOCKET;
thread_local bool t_reset = false;
}  // namespace

void CapturingServer::ResetCurrentConnection() {
    if (t_connection == INVALID_SOCKET) return;
    // A zero linger time makes close() send RST and drop what is unsent.
    linger abort{1, 0};
    ::setsockopt(t_connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    t_reset = true;
}

bool CapturingServer::CurrentClientGone() {
    if (t_connection == INVALID_SOCKET) return false;
    char byte;
    ssize_t n = ::recv(t_connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return true;
    return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

bool CapturingServer::WaitForNextRequest(const httplib::Stream& stream, bool buffered) const {
    if (buffered) return true;
    const long slices = static_cast<long>(keep_alive_timeout_sec_) * 1000 / kPollSliceMs;
    for (long i = 0; i <= slices; ++i) {
        if (svr_sock_ == INVALID_SOCKET) return false;
        pollfd pfd{stream.socket(), POLLIN, 0};
        int rc = ::poll(&pfd, 1, kPollSliceMs);
        if (rc > 0) return true;
        if (rc < 0 && errno != EINTR) return false;
    }
    return false;
}

bool CapturingServer::process_and_close_socket(socket_t sock) {
    CapturingStream stream(sock, read_timeout_sec_, read_timeout_usec_, write_timeout_sec_,
                           write_timeout_usec_);
    t_connection = sock;
    bool ok = false;
    for (size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
        if (!WaitForNextRequest(stream, stream.HasBuffered())) break;
        stream.ResetCapture();
        bool connectionClosed = false;
        ok = process_request(stream, left == 1, connectionClosed, [&](httplib::Request& request) {
            if (m_headHandler) m_headHandler(request, stream.CapturedHead());
        });
        if (!ok || connectionClosed) break;
    }
    t_connection = INVALID_SOCKET;
    // An orderly shutdown would send FIN before the reset.
    if (!t_reset) ::shutdown(sock, SHUT_RDWR);
    t_reset = false;
    ::close(sock);
    return ok;
}

}  // namespace nbstandin
