#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "RecordingUi.h"
#include "TestPaths.h"
#include "app/LauncherContext.h"
#include "app/LauncherUi.h"

using namespace nb;
using nb::test::LoopbackServer;

namespace {

// "电信区", "网通区" and server names as code page 936 bytes.
const std::string kTelecom = "\xB5\xE7\xD0\xC5\xC7\xF8";
const std::string kNetcom = "\xCD\xF8\xCD\xA8\xC7\xF8";
const std::string kQinglong = "\xC7\xE0\xC1\xFA";  // "青龙"
const std::string kBaihu = "\xB0\xD7\xBB\xA2";     // "白虎"
const std::string kZhuque = "\xD6\xEC\xC8\xB8";    // "朱雀"
const std::string kXuanwu = "\xD0\xFE\xCE\xE4";    // "玄武"

ServerInfo Server(std::string name, int32_t id, std::string url, int32_t state, int32_t tag,
                  std::string zone) {
    ServerInfo s;
    s.name = std::move(name);
    s.id = id;
    s.fetch_url = std::move(url);
    s.state = state;
    s.server_tag = tag;
    s.zone_name = std::move(zone);
    return s;
}

std::vector<int32_t> Ids(const std::vector<ServerInfo>& servers) {
    std::vector<int32_t> ids;
    for (const auto& s : servers) ids.push_back(s.id);
    return ids;
}

// A document with the required head and the given zones.
std::string Document(const std::string& zones) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zonelist>\n"
           "<gameVerInfo build_code=\"1300\" version=\"1.3.0\"/>\n"
           "<update_url>http://patches.nb.test/nb/</update_url>\n" +
           zones + "</zonelist>\n";
}

class ZoneListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.m_MessageTable[14] = "msg14";
        m_context.m_strZoneListURL = m_server.Url("/norbel_xml/zonelist.xml");
        SetTheContext(&m_context);
    }
    void TearDown() override { SetTheContext(nullptr); }

    void Publish(const std::string& document) {
        m_server.Serve("/norbel_xml/zonelist.xml", document);
        // Each load starts clean: no half file and no log of an earlier load.
        nb::test::RemoveFile("zonelist.xml.dlhalf!");
        nb::test::RemoveFile("log1.txt");
    }
    void PublishFixture(const std::string& name) {
        Publish(test::ReadFile(test::DataPath("zonelist/" + name)));
    }

    test::ScopedTempDir m_dir;
    test::ScopedChdir m_cwd{m_dir.Path()};
    LauncherContext m_context;
    nb::test::RecordingUi m_ui;
    LoopbackServer m_server;
};

TEST_F(ZoneListTest, StandardDocumentFillsTheContext) {
    for (const char* fixture : {"standard.xml", "standard_bom.xml"}) {
        SCOPED_TRACE(fixture);
        m_context.m_vecZone = {};
        PublishFixture(fixture);
        ASSERT_TRUE(m_context.LoadZoneList());

        EXPECT_EQ(m_context.m_nServerBuild, 1207);
        EXPECT_EQ(m_context.m_strServerVersion, "1.2.7");
        EXPECT_EQ(m_context.m_strUpdateURL, "http://patches.nb.test/nb/");
        EXPECT_EQ(m_context.m_vecZone[0],
                  (std::vector<ServerInfo>{Server(kQinglong, 1, "10.0.0.1:7000", 0, 2, kTelecom),
                                           Server(kBaihu, 2, "10.0.0.2:7000", 1, 1, kTelecom),
                                           Server(kZhuque, 3, "", 3, 0, kTelecom)}));
        EXPECT_EQ(m_context.m_vecZone[1],
                  (std::vector<ServerInfo>{Server(kXuanwu, 11, "10.1.0.1:7000", 2, 2, kNetcom)}));
        EXPECT_EQ(m_context.m_vecRecommend,
                  (std::vector<ServerInfo>{m_context.m_vecZone[0][0], m_context.m_vecZone[1][0]}));
        EXPECT_EQ(test::ReadFile("zonelist.xml"),
                  test::ReadFile(test::DataPath(std::string("zonelist/") + fixture)));
        EXPECT_EQ(test::ReadTextFile("log1.txt"), "--strZoneListURL----" + m_context.m_strZoneListURL +
                                                  " \n"
                                                  "m_strTmpFileName = zonelist.xml.dlhalf!\n"
                                                  "strAgentCaption = Update Download zonelist.xml\n"
                                                  "rootXMLElement = zonelist \n"
                                                  "-------tmpServerInfo.size = 3------------\n"
                                                  "vecServerInfo[0].count=3 \n"
                                                  "vecServerInfo[1].count=0 \n"
                                                  "-------tmpServerInfo.size = 1------------\n"
                                                  "vecServerInfo[0].count=3 \n"
                                                  "vecServerInfo[1].count=1 \n");
        EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
    }
}

TEST_F(ZoneListTest, TextsAreTrimmedButAttributesKeepTheirBlanks) {
    // An address on its own indented lines reads bare; names and addresses in attributes are
    // the document's bytes (a name with blanks splits on the game's command line, as it did).
    Publish("<zonelist>\n  <gameVerInfo build_code=\" 12 \" version=\" 1.2 \"/>\n"
            "  <update_url>\n    http://patches.nb.test/nb/\n  </update_url>\n"
            "  <bigzone name=\"电信区\">\n"
            "    <server id=\"1\" name=\" 青 龙 \" state=\"0\" server_tag=\"0\" fetch_url=\" 10.0.0.1:7000\"/>\n"
            "  </bigzone>\n"
            "  <bigzone name=\" 网通区\"><server id=\"2\"/></bigzone>\n"
            "</zonelist>\n");
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(m_context.m_nServerBuild, 12);
    EXPECT_EQ(m_context.m_strServerVersion, " 1.2 ");
    EXPECT_EQ(m_context.m_strUpdateURL, "http://patches.nb.test/nb/");
    EXPECT_EQ(m_context.m_vecZone[0],
              (std::vector<ServerInfo>{Server(" \xC7\xE0 \xC1\xFA ", 1, " 10.0.0.1:7000", 0, 0, kTelecom)}));
    // A zone name with a leading blank is another name.
    EXPECT_TRUE(m_context.m_vecZone[1].empty());
}

TEST_F(ZoneListTest, OnlyTheFirstTwoZoneElementsAreRead) {
    // The second zone element may have any name; a third one is never looked at.
    Publish(
        Document("<bigzone name=\"网通区\"><server id=\"1\"/></bigzone>\n"
                 "<region name=\"电信区\"><server id=\"2\"/><server id=\"3\"/></region>\n"
                 "<bigzone name=\"电信区\"><server id=\"4\"/></bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(Ids(m_context.m_vecZone[1]), std::vector<int32_t>{1});
    EXPECT_EQ(Ids(m_context.m_vecZone[0]), (std::vector<int32_t>{2, 3}));

    // An element after the first zone with no name takes the second turn: its servers land nowhere.
    Publish(
        Document("<bigzone name=\"网通区\"><server id=\"1\"/></bigzone>\n"
                 "<notes><server id=\"5\" server_tag=\"2\"/></notes>\n"
                 "<bigzone name=\"电信区\"><server id=\"4\"/></bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(Ids(m_context.m_vecZone[1]), std::vector<int32_t>{1});
    EXPECT_EQ(Ids(m_context.m_vecZone[0]), (std::vector<int32_t>{2, 3}));  // from the load before
    EXPECT_EQ(Ids(m_context.m_vecRecommend), std::vector<int32_t>{5});
}

TEST_F(ZoneListTest, ServersRunFromTheFirstServerElementToTheLastSibling) {
    Publish(
        Document("<bigzone name=\"电信区\">\n"
                 "  <title id=\"90\"/><note id=\"91\"/>\n"
                 "  <server id=\"1\"/>\n"
                 "  <extra id=\"2\" name=\"天王\" state=\"1\"/>\n"
                 "  <server id=\"3\"/>\n"
                 "</bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(Ids(m_context.m_vecZone[0]), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(m_context.m_vecZone[0][1].name, "\xCC\xEC\xCD\xF5");  // "天王"
    EXPECT_EQ(m_context.m_vecZone[0][1].state, 1);
}

TEST_F(ZoneListTest, ZonesAreMatchedByTheirExactName) {
    m_context.m_vecZone[0] = {Server("old", 77, "x", 0, 0, kTelecom)};
    // Both zones named "网通区": the second wins; an empty "电信区" zone empties its list.
    Publish(
        Document("<bigzone name=\"网通区\"><server id=\"1\"/></bigzone>\n"
                 "<bigzone name=\"网通区\"><server id=\"2\"/></bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(Ids(m_context.m_vecZone[1]), std::vector<int32_t>{2});
    EXPECT_EQ(Ids(m_context.m_vecZone[0]), std::vector<int32_t>{77});

    Publish(Document(
        "<bigzone name=\"电信区\"></bigzone>\n<bigzone name=\" 网通区\"><server id=\"3\"/></bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_TRUE(m_context.m_vecZone[0].empty());
    EXPECT_EQ(Ids(m_context.m_vecZone[1]), std::vector<int32_t>{2});
}

TEST_F(ZoneListTest, RecommendedListKeepsTheFirstThreeTaggedServers) {
    m_context.m_vecRecommend = {Server("stale", 99, "", 0, 2, "")};
    Publish(Document(
        "<bigzone name=\"其他\"><server id=\"1\" server_tag=\"2\"/><server id=\"2\" "
        "server_tag=\"1\"/></bigzone>\n"
        "<bigzone name=\"网通区\"><server id=\"3\" server_tag=\"2\"/><server id=\"4\" server_tag=\"2\"/>"
        "<server id=\"5\" server_tag=\"2\"/><server id=\"6\" server_tag=\"2\"/></bigzone>\n"));
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(Ids(m_context.m_vecRecommend), (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(Ids(m_context.m_vecZone[1]), (std::vector<int32_t>{3, 4, 5, 6}));
}

TEST_F(ZoneListTest, NumbersReadLikeAtoiAndAbsentValuesKeepDefaults) {
    m_context.m_nServerBuild = 1111;
    m_context.m_strServerVersion = "keep";
    Publish(
        "<zonelist><gameVerInfo/><update_url>u</update_url>"
        "<bigzone name=\"电信区\"><server id=\" 12abc\" state=\"3x\" server_tag=\"-1\" fetch_url=\"f\"/>"
        "<server name=\"n\" fetch_url=\"g\"/></bigzone></zonelist>");
    ASSERT_TRUE(m_context.LoadZoneList());
    EXPECT_EQ(m_context.m_nServerBuild, 1111);
    EXPECT_EQ(m_context.m_strServerVersion, "keep");
    EXPECT_EQ(m_context.m_strUpdateURL, "u");
    EXPECT_EQ(m_context.m_vecZone[0], (std::vector<ServerInfo>{Server("", 12, "", 3, -1, kTelecom),
                                                               Server("n", 0, "g", 0, 0, kTelecom)}));
}

TEST_F(ZoneListTest, DocumentsThatCannotBeUsedFailTheLoad) {
    const std::vector<ServerInfo> before = {Server("kept", 5, "x", 0, 0, kTelecom)};
    for (const char* fixture : {"truncated.xml", "not_xml.xml", "empty.xml", "no_gameverinfo.xml",
                                "no_update_url.xml", "empty_update_url.xml", "no_bigzone.xml"}) {
        SCOPED_TRACE(fixture);
        m_context.m_nServerBuild = 7;
        m_context.m_strUpdateURL = "old";
        m_context.m_vecZone[0] = before;
        m_context.m_vecRecommend = before;
        PublishFixture(fixture);

        EXPECT_FALSE(m_context.LoadZoneList());
        EXPECT_EQ(m_context.m_nServerBuild, 7);
        EXPECT_EQ(m_context.m_strUpdateURL, "old");
        EXPECT_EQ(m_context.m_vecZone[0], before);
        EXPECT_TRUE(m_context.m_vecRecommend.empty());
    }
    // Not well-formed documents are traced as such.
    PublishFixture("truncated.xml");
    EXPECT_FALSE(m_context.LoadZoneList());
    EXPECT_NE(test::ReadTextFile("log1.txt").find("load zonelist.xml file faild !\n"), std::string::npos);
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
}

TEST_F(ZoneListTest, FailedDownloadFailsWithoutParsing) {
    test::WriteFile("zonelist.xml", test::ReadFile(test::DataPath("zonelist/standard.xml")));  // an old copy
    m_context.m_strZoneListURL = m_server.Url("/elsewhere.xml");
    EXPECT_FALSE(m_context.LoadZoneList());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"msg14"});
    EXPECT_EQ(test::ReadTextFile("log1.txt").find("rootXMLElement"), std::string::npos);
    EXPECT_TRUE(m_context.m_vecZone[0].empty());

    m_ui.ClearShown();
    m_context.m_strZoneListURL = "zonelist.xml";
    EXPECT_FALSE(m_context.LoadZoneList());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"box:URL info erro/ERRO"});
}

TEST_F(ZoneListTest, HundredThousandServersLoad) {
    constexpr int kCount = 100000;
    std::string zone = "<bigzone name=\"电信区\">\n";
    zone.reserve(kCount * 80);
    for (int i = 1; i <= kCount; ++i) {
        zone += "<server id=\"" + std::to_string(i) + "\" name=\"s" + std::to_string(i) +
                "\" state=\"0\" server_tag=\"2\" fetch_url=\"10.0.0.1:7000\"/>\n";
    }
    zone += "</bigzone>\n";
    Publish(Document(zone));

    ASSERT_TRUE(m_context.LoadZoneList());
    ASSERT_EQ(m_context.m_vecZone[0].size(), static_cast<size_t>(kCount));
    EXPECT_EQ(m_context.m_vecZone[0].back().id, kCount);
    EXPECT_EQ(m_context.m_vecZone[0].back().name, "s100000");
    EXPECT_EQ(Ids(m_context.m_vecRecommend), (std::vector<int32_t>{1, 2, 3}));
}

}  // namespace
