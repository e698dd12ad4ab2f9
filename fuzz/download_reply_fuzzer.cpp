// The resumable download against any reply a server can send: the first input byte is
// the length of a temporary file left by an earlier attempt, the rest is the raw reply
// (status line, headers, body). What the temporary file may become is checked after each.
// NB_FUZZ_NEEDS: src/update/Download.cpp
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzWorkDir.h"
#include "QuietUi.h"
#include "RawReplyServer.h"
#include "app/LauncherContext.h"
#include "platform/Files.h"
#include "platform/HttpTransfer.h"
#include "update/Download.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "download_reply_fuzzer: %s\n", what);
        std::abort();
    }
}

nbfuzz::RawReplyServer* g_server = nullptr;

// The status of the reply when it is the only header block in the input (no interim or
// redirect replies before it), else 0.
int OnlyStatus(std::string_view reply) {
    if (reply.substr(0, 5) != "HTTP/") return 0;
    const size_t headEnd = reply.find("\r\n\r\n");
    if (headEnd == std::string_view::npos) return 0;
    if (reply.find("HTTP/", 5) != std::string_view::npos) return 0;
    const size_t blank = reply.find(' ');
    if (blank == std::string_view::npos || blank + 4 > reply.size()) return 0;
    int status = 0;
    for (size_t i = blank + 1; i < blank + 4; ++i) {
        if (reply[i] < '0' || reply[i] > '9') return 0;
        status = status * 10 + (reply[i] - '0');
    }
    return reply[blank + 4] == ' ' || reply[blank + 4] == '\r' ? status : 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    nbfuzz::QuietUi::Install();
    g_server = new nbfuzz::RawReplyServer();
    // Every request, a redirected one included, goes to the loopback server: as a proxy it
    // receives requests for any host, so no reply can send the download elsewhere.
    ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(g_server->Port())).c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    nb::platform::SetHttpLimits(5, 5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nbfuzz::FuzzWorkDir::ForgetLog();
    const std::string existing(data[0], 'E');
    const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
    g_server->SetReply(reply);

    const std::string target = "patch.nbupd";
    const std::string temp = target + ".dlhalf!";
    std::remove(target.c_str());
    nbfuzz::WriteWholeFile(temp, existing.data(), existing.size());

    nb::LauncherContext context;
    nb::SetTheContext(&context);
    const bool ok = nb::DownloadUrlToFile(g_server->Url("/NBRK2.nbupd"), target, true);
    nb::SetTheContext(nullptr);

    std::string content;
    if (ok) {
        Check(!nb::platform::FileExists(temp), "temporary file left after success");
        Check(nb::platform::ReadWholeFile(target, content), "no target after success");
    } else {
        Check(!nb::platform::FileExists(target), "target made by a failed download");
        Check(nb::platform::ReadWholeFile(temp, content), "temporary file lost");
    }
    // Nothing arrives twice: the file never outgrows what it held plus the whole reply.
    Check(content.size() <= existing.size() + reply.size(), "more bytes than were sent");

    const int status = OnlyStatus(reply);
    if (status == 416) {
        // Either the file was complete, or it can never be resumed and was dropped; the same
        // reply to the second, whole request adds nothing.
        Check(content == existing || content.empty(), "a 416 reply wrote bytes");
    } else if (status >= 300) {
        // An error or a redirect without an end is never data: the file is as it was.
        Check(content == existing, "an error reply changed the temporary file");
    } else if (status == 206) {
        // A partial reply continues the file, or (at another offset) replaces it once.
        Check(content.compare(0, existing.size(), existing) == 0 || content.size() <= reply.size(),
              "a partial reply mixed old and new bytes");
    }
    return 0;
}
