// What both platforms' loopback servers share: reading a recorded request, and what is
// built on the public calls alone.
#include <algorithm>
#include <cctype>

#include "LoopbackServer.h"

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

}  // namespace nb::test
