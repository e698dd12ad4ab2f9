#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace nb::test {

// The built nb-standin as a separate process on a free loopback port, with its request log
// in a file; stopped (SIGTERM, then waited for) when the object goes.
class StandinProcess {
public:
    // args follow "--port 0 --log <logFile>".
    StandinProcess(const std::vector<std::string>& args, const std::string& logFile);
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    bool Running() const { return !m_strBase.empty(); }
    std::string Url(const std::string& target) const { return m_strBase + target; }

    // The request heads logged so far, one string per request.
    std::vector<std::string> Requests() const;

    // A GET of a control path (for example "/_standin/fault?cut=-1"); true on status 200.
    bool Control(const std::string& target) const;

    // Ends it with SIGTERM; its exit status (-1 when it did not exit normally).
    int Stop();

private:
    pid_t m_pid = -1;
    int m_exit = -1;
    std::string m_strBase;
    std::string m_strLog;
};

}  // namespace nb::test
