// The zone list loader: any bytes served over loopback as "zonelist.xml", downloaded and
// read into a launcher context.
// NB_FUZZ_NEEDS: src/zones/ZoneList.cpp
// NB_FUZZ_NEEDS: src/update/Download.cpp
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzWorkDir.h"
#include "QuietUi.h"
#include "RawReplyServer.h"
#include "app/LauncherContext.h"
#include "platform/Files.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// "电信区" and "网通区" in code page 936.
const char* kTelecomZone = "\xB5\xE7\xD0\xC5\xC7\xF8";
const char* kNetcomZone = "\xCD\xF8\xCD\xA8\xC7\xF8";

nbfuzz::RawReplyServer* g_server = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    nbfuzz::QuietUi::Install();
    g_server = new nbfuzz::RawReplyServer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nbfuzz::FuzzWorkDir::ForgetLog();
    const std::string body(reinterpret_cast<const char*>(data), size);
    g_server->SetReply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                       "\r\nConnection: close\r\n\r\n" + body);

    nb::LauncherContext context;
    context.m_strZoneListURL = g_server->Url("/norbel_xml/zonelist.xml");
    context.m_nServerBuild = -5;
    context.m_vecRecommend.push_back(nb::ServerInfo{});
    const bool loaded = context.LoadZoneList();

    // The document arrived whole, whatever it holds.
    std::string file;
    Check(nb::platform::ReadWholeFile("zonelist.xml", file) && file == body);
    Check(!nb::platform::FileExists("zonelist.xml.dlhalf!"));

    Check(context.m_vecRecommend.size() <= 3);
    for (const nb::ServerInfo& s : context.m_vecRecommend) Check(s.server_tag == 2);
    if (!loaded) {
        Check(context.m_vecRecommend.empty() && context.m_vecZone[0].empty() && context.m_vecZone[1].empty());
    }
    for (size_t z = 0; z < 2; ++z) {
        for (const nb::ServerInfo& s : context.m_vecZone[z]) {
            Check(s.zone_name == (z == 0 ? kTelecomZone : kNetcomZone));
            Check(s.state != 3 || s.fetch_url.empty());
        }
    }
    return 0;
}
