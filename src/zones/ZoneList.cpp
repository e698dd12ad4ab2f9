#include <string_view>

#include "app/LauncherContext.h"
#include "app/NumberText.h"
#include "app/TextEncoding.h"
#include "app/TraceLog.h"
#include "platform/XmlDocument.h"
#include "update/Download.h"

namespace nb {
namespace {

constexpr const char* kZoneListFile = "zonelist.xml";
constexpr size_t kZoneCount = 2;
constexpr size_t kMaxRecommended = 3;
constexpr int32_t kStateMaintenance = 3;
constexpr int32_t kTagRecommended = 2;

// "电信区"
constexpr const char* kTelecomZone = "\xB5\xE7\xD0\xC5\xC7\xF8";
// "网通区"
constexpr const char* kNetcomZone = "\xCD\xF8\xCD\xA8\xC7\xF8";

}  // namespace

bool LauncherContext::LoadZoneList() {
    m_vecRecommend.clear();
    TraceLog("--strZoneListURL----%s \n", m_strZoneListURL.c_str());

    if (!DownloadUrlToFile(m_strZoneListURL, kZoneListFile, false)) return false;

    // Texts are trimmed and their inner runs of white space collapsed (the XML reader's
    // rule), so an address written on its own indented line reads as the bare address.
    platform::XmlDocument doc;
    if (!doc.LoadFile(kZoneListFile)) {
        TraceLog("load zonelist.xml file faild !\n");
        return false;
    }
    const platform::XmlElement root = doc.Root();
    TraceLog("rootXMLElement = %s \n", root.Name());

    // The published build, the update address and the zones are what the rest of start-up
    // relies on; a document without them fails before anything of it is taken over.
    const platform::XmlElement verInfo = root.FirstChildElement("gameVerInfo");
    const char* updateText = root.FirstChildElement("update_url").Text();
    platform::XmlElement zone = root.FirstChildElement("bigzone");
    if (!verInfo || !updateText || !zone) return false;

    if (const char* build = verInfo.Attribute("build_code")) m_nServerBuild = AtoiSaturating(build);
    if (const char* version = verInfo.Attribute("version")) m_strServerVersion = version;
    m_strUpdateURL = updateText;

    for (size_t n = 0; zone && n < kZoneCount; ++n, zone = zone.NextSiblingElement()) {
        const char* name = zone.Attribute("name");
        std::string zoneName = Utf8ToGbk(name ? name : "");
        std::vector<ServerInfo> servers;
        ReadServers(zone.FirstChildElement("server"), zoneName, servers);
        TraceLog("-------tmpServerInfo.size = %d------------\n", static_cast<int>(servers.size()));
        if (zoneName == kTelecomZone) {
            m_vecZone[0] = std::move(servers);
        } else if (zoneName == kNetcomZone) {
            m_vecZone[1] = std::move(servers);
        }
        TraceLog("vecServerInfo[0].count=%d \n", static_cast<int>(m_vecZone[0].size()));
        TraceLog("vecServerInfo[1].count=%d \n", static_cast<int>(m_vecZone[1].size()));
    }
    return true;
}

// Every element from `server` on, whatever its name, is one server. A loop rather than a
// call per sibling: a long list must not exhaust the stack.
void LauncherContext::ReadServers(platform::XmlElement server, std::string zoneName,
                                  std::vector<ServerInfo>& target) {
    for (; server; server = server.NextSiblingElement()) {
        ServerInfo info;
        const char* url = nullptr;
        // One walk over the attributes rather than a search per name (the lists run to
        // many thousands of servers); the parser refuses a repeated attribute, so each
        // name is met at most once.
        for (platform::XmlAttribute a = server.FirstAttribute(); a; a = a.Next()) {
            const std::string_view name = a.Name();
            if (name == "id") {
                info.id = AtoiSaturating(a.Value());
            } else if (name == "name") {
                info.name = Utf8ToGbk(a.Value());
            } else if (name == "state") {
                info.state = AtoiSaturating(a.Value());
            } else if (name == "server_tag") {
                info.server_tag = AtoiSaturating(a.Value());
            } else if (name == "fetch_url") {
                url = a.Value();
            }
        }
        // A server in maintenance carries no address, so it can never be chosen.
        if (url && info.state != kStateMaintenance) info.fetch_url = url;
        info.zone_name = zoneName;
        if (info.server_tag == kTagRecommended && m_vecRecommend.size() < kMaxRecommended) {
            m_vecRecommend.push_back(info);
        }
        target.push_back(std::move(info));
    }
}

}  // namespace nb
