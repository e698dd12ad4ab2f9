// What both platforms' loopback servers share: reading a recorded request, and the calls
// that only touch the shared state.
#include <algorithm>
#include <cctype>
#include <chrono>

#include "LoopbackServerState.h"

namespace nb::test {
namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool LoopbackServer::Request::HasHeader(const std::string& name) const {
    return HeaderCount(name) > 0;
}

size_t LoopbackServer::Request::HeaderCount(const std::string& name) const {
    return static_cast<size_t>(std::count_if(headers.begin(), headers.end(), [&](const auto& header) {
        return SameNoCase(header.first, name);
    }));
}

std::string LoopbackServer::Request::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (SameNoCase(key, name)) return value;
    }
    return {};
}

bool LoopbackServer::Request::HasParam(const std::string& name) const {
    return std::any_of(params.begin(), params.end(), [&](const auto& param) { return param.first == name; });
}

std::string LoopbackServer::Request::Param(const std::string& name) const {
    for (const auto& [key, value] : params) {
        if (key == name) return value;
    }
    return {};
}

void LoopbackServer::Answer(const std::string& path, Reply reply) {
    Handle(path, [reply = std::move(reply)](const Request&) { return reply; });
}

std::vector<std::string> LoopbackServer::Targets() const {
    std::vector<std::string> targets;
    for (const Request& request : Requests()) targets.push_back(request.target);
    return targets;
}

int LoopbackServer::Port() const {
    return Shared().port;
}
std::string LoopbackServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(Shared().port);
}
std::string LoopbackServer::Url(const std::string& path) const {
    return "http://" + HostPort() + path;
}

void LoopbackServer::Serve(const std::string& path, std::string body) {
    std::lock_guard lock(Shared().mutex);
    Shared().bodies[path] = std::move(body);
}

void LoopbackServer::Handle(const std::string& path, Handler handler) {
    std::lock_guard lock(Shared().mutex);
    Shared().handlers[path] = std::move(handler);
}

void LoopbackServer::SetIgnoreRange(bool ignore) {
    std::lock_guard lock(Shared().mutex);
    Shared().ignoreRange = ignore;
}

void LoopbackServer::SetFixedStatus(int status, std::string body) {
    std::lock_guard lock(Shared().mutex);
    Shared().fixedStatus = status;
    Shared().fixedBody = std::move(body);
}

void LoopbackServer::SetCutAfter(size_t bytes) {
    std::lock_guard lock(Shared().mutex);
    Shared().cutAfter = bytes;
}

void LoopbackServer::SetStallAfter(size_t bytes) {
    std::lock_guard lock(Shared().mutex);
    Shared().stallAfter = bytes;
    Shared().released = false;
}

void LoopbackServer::SetChunked(bool chunked) {
    std::lock_guard lock(Shared().mutex);
    Shared().chunked = chunked;
}

bool LoopbackServer::WaitForStall() {
    std::unique_lock lock(Shared().mutex);
    return Shared().changed.wait_for(lock, std::chrono::seconds(30), [this] { return Shared().stalls > 0; });
}

void LoopbackServer::ReleaseStall() {
    {
        std::lock_guard lock(Shared().mutex);
        Shared().released = true;
    }
    Shared().changed.notify_all();
}

std::vector<LoopbackServer::Request> LoopbackServer::Requests() const {
    std::lock_guard lock(Shared().mutex);
    return Shared().requests;
}

size_t LoopbackServer::RequestCount() const {
    std::lock_guard lock(Shared().mutex);
    return Shared().requests.size();
}

}  // namespace nb::test
