#include <tinyxml2.h>

#include "app/LauncherContext.h"
#include "app/NumberText.h"
#include "app/TextEncoding.h"
#include "app/TraceLog.h"
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

// The text of an element's first child node, when that node is text.
const char* FirstChildText(const tinyxml2::XMLElement* element) {
    const tinyxml2::XMLNode* child = element->FirstChild();
    return child && child->ToText() ? child->Value() : nullptr;
}

}  // namespace

bool LauncherContext::LoadZoneList() {
    m_vecRecommend.clear();
    TraceLog("--strZoneListURL----%s \n", m_strZoneListURL.c_str());

    if (!DownloadUrlToFile(m_strZoneListURL, kZoneListFile, false)) return false;

    // Runs of white space in text collapse and the ends are trimmed, so an address written
    // on its own indented line reads as the bare address.
    tinyxml2::XMLDocument doc(true, tinyxml2::COLLAPSE_WHITESPACE);
    if (doc.LoadFile(kZoneListFile) != tinyxml2::XML_SUCCESS) {
        TraceLog("load zonelist.xml file faild !\n");
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    TraceLog("rootXMLElement = %s \n", root && root->Name() ? root->Name() : "");

    // The published build, the update address and the zones are what the rest of start-up
    // relies on; a document without them fails before anything of it is taken over.
    const tinyxml2::XMLElement* verInfo = root ? root->FirstChildElement("gameVerInfo") : nullptr;
    const tinyxml2::XMLElement* updateUrl = root ? root->FirstChildElement("update_url") : nullptr;
    const tinyxml2::XMLElement* zone = root ? root->FirstChildElement("bigzone") : nullptr;
    const char* updateText = updateUrl ? FirstChildText(updateUrl) : nullptr;
    if (!verInfo || !updateText || !zone) return false;

    if (const char* build = verInfo->Attribute("build_code")) m_nServerBuild = AtoiSaturating(build);
    if (const char* version = verInfo->Attribute("version")) m_strServerVersion = version;
    m_strUpdateURL = updateText;

    for (size_t n = 0; zone && n < kZoneCount; ++n, zone = zone->NextSiblingElement()) {
        const char* name = zone->Attribute("name");
        std::string zoneName = Utf8ToGbk(name ? name : "");
        std::vector<ServerInfo> servers;
        ReadServers(zone->FirstChildElement("server"), zoneName, servers);
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
void LauncherContext::ReadServers(const tinyxml2::XMLElement* server, std::string zoneName,
                                  std::vector<ServerInfo>& target) {
    for (; server; server = server->NextSiblingElement()) {
        ServerInfo info;
        if (const char* id = server->Attribute("id")) info.id = AtoiSaturating(id);
        if (const char* name = server->Attribute("name")) info.name = Utf8ToGbk(name);
        if (const char* state = server->Attribute("state")) info.state = AtoiSaturating(state);
        if (const char* tag = server->Attribute("server_tag")) info.server_tag = AtoiSaturating(tag);
        // A server in maintenance carries no address, so it can never be chosen.
        if (info.state != kStateMaintenance) {
            if (const char* url = server->Attribute("fetch_url")) info.fetch_url = url;
        }
        info.zone_name = zoneName;
        target.push_back(info);
        if (info.server_tag == kTagRecommended && m_vecRecommend.size() < kMaxRecommended) {
            m_vecRecommend.push_back(std::move(info));
        }
    }
}

}  // namespace nb
