#pragma once
// The state both platforms' loopback servers keep: what they serve, what they were asked,
// and the switches that make them misbehave. Only the servers' own files include it.
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "LoopbackServer.h"

namespace nb::test {

struct LoopbackServer::State {
    int port = 0;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, std::string> bodies;
    std::map<std::string, Handler> handlers;
    std::vector<Request> requests;
    bool ignoreRange = false;
    int fixedStatus = 0;
    std::string fixedBody;
    size_t cutAfter = npos;
    size_t stallAfter = npos;
    bool chunked = false;
    size_t stalls = 0;
    bool released = false;
    bool closing = false;
};

}  // namespace nb::test
