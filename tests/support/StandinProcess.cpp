#include "StandinProcess.h"

#include <curl/curl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestPaths.h"

extern char** environ;

namespace nb::test {

StandinProcess::StandinProcess(const std::vector<std::string>& args, const std::string& logFile)
    : m_strLog(logFile) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all{BuildPath("nb-standin"), "--port", "0", "--log", logFile};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The first line names the port: "listening on 127.0.0.1:PORT".
    std::string line;
    char c;
    while (m_pid > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) == 0) m_strBase = "http://127.0.0.1:" + line.substr(prefix.size());
}

StandinProcess::~StandinProcess() {
    Stop();
}

int StandinProcess::Stop() {
    if (m_pid <= 0) return m_exit;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_exit;
}

std::vector<std::string> StandinProcess::Requests() const {
    std::vector<std::string> heads;
    const std::string log = ReadFile(m_strLog);
    size_t begin = 0;
    for (size_t end; (end = log.find("\r\n\r\n", begin)) != std::string::npos; begin = end + 4) {
        heads.push_back(log.substr(begin, end + 4 - begin));
    }
    return heads;
}

bool StandinProcess::Control(const std::string& target) const {
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    const std::string url = Url(target);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t n, void*) { return size * n; });
    long status = 0;
    const bool ok = curl_easy_perform(curl) == CURLE_OK &&
                    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
    curl_easy_cleanup(curl);
    return ok;
}

}  // namespace nb::test
