#include "LoopbackSocket_win32.h"

#include <ws2tcpip.h>

#include <stdexcept>

namespace nb::test::win32 {
namespace {

void StartWinsockOnce() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// A loopback socket bound to a port the system picks; INVALID_SOCKET when none.
SOCKET BindLoopback(int& port) {
    StartWinsockOnce();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (s != INVALID_SOCKET) ::closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

}  // namespace

SOCKET ListenOnLoopback(int& port, int backlog) {
    SOCKET s = BindLoopback(port);
    if (s == INVALID_SOCKET || ::listen(s, backlog) != 0) {
        if (s != INVALID_SOCKET) ::closesocket(s);
        throw std::runtime_error("loopback server: cannot listen");
    }
    return s;
}

bool WaitReadable(SOCKET s, int timeoutMs, const std::atomic<bool>& stopping) {
    for (int waited = 0; !stopping.load(); waited += 100) {
        if (timeoutMs >= 0 && waited >= timeoutMs) return false;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval slice{0, 100 * 1000};
        if (::select(0, &set, nullptr, nullptr, &slice) > 0) return true;
    }
    return false;
}

int ClosedLoopbackPort() {
    int port = 0;
    SOCKET s = BindLoopback(port);
    if (s != INVALID_SOCKET) ::closesocket(s);
    return port;
}

}  // namespace nb::test::win32
