#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "AccountService.h"
#include "CapturingServer.h"
#include "FaultSettings.h"
#include "RequestLog.h"
#include "StandinOptions.h"

namespace nbstandin {

// The web host and the account service on one loopback port.
class StandinServer {
public:
    explicit StandinServer(const StandinOptions& options);

    // Opens the log and binds 127.0.0.1; returns the port, or -1 with an error text.
    int Bind(std::string& error);
    // Serves until Stop; false when the listening failed.
    bool Run();
    // Safe from any thread: wakes stalled and paced bodies and ends the listening.
    void Stop();

private:
    void OnHead(httplib::Request& request, std::string_view rawHead);
    void Route(const httplib::Request& request, httplib::Response& response);
    void Control(const httplib::Request& request, httplib::Response& response);
    void ServeFile(const httplib::Request& request, httplib::Response& response);
    bool MapToLocal(const std::string& urlPath, std::string& local) const;
    // The listening server: the plain one, or the https one when a certificate is given.
    httplib::Server& Listener();

    StandinOptions m_options;
    CapturingServer m_server;
    // https has no raw head to capture: its log block is rebuilt from the parsed request.
    std::unique_ptr<httplib::SSLServer> m_tls;
    FaultSettings m_faults;
    RequestLog m_log;
    AccountService m_accounts;
    std::atomic<uint64_t> m_nRequests{0};
};

}  // namespace nbstandin
