#pragma once
// Bare Winsock pieces of the tests' loopback servers on Windows.
#include <winsock2.h>

#include <atomic>

namespace nb::test::win32 {

// A socket listening on 127.0.0.1 at a port the system picks (written to port); throws
// when none can be had.
SOCKET ListenOnLoopback(int& port, int backlog);

// Waits until the socket has data, in short slices so that the server never keeps its
// owner waiting long; false once stopping is set or after timeoutMs (negative: no limit).
bool WaitReadable(SOCKET s, int timeoutMs, const std::atomic<bool>& stopping);

// A loopback address that refuses connections: a port that was just bound and released.
int ClosedLoopbackPort();

}  // namespace nb::test::win32
