#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "LoopbackServer.h"
#include "RecordingUi.h"
#include "TestPaths.h"
#include "app/LauncherContext.h"
#include "login/GameClient.h"
#include "platform/ExecutablePath.h"
#include "platform/Files.h"

using namespace nb;
using nb::test::LoopbackServer;

namespace {

using Events = std::vector<std::string>;

class GameClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_install = m_dir.File("game dir/");
        platform::MakeFolder(m_install);
        m_cwd = std::make_unique<test::ScopedChdir>(m_install);
        platform::SetExecutablePathOverride(m_install + "NbLauncher.exe");
        m_context.m_strInstallPath = m_install;
        m_context.m_MessageTable[14] = "msg14";
        m_context.m_MessageTable[31] = "msg31";
        SetTheContext(&m_context);
        // Messages and the process exit in the order they happen.
        m_ui.onShown = [this](const std::string& text) { m_events.push_back(text); };
        SetProcessExitForTests([this](int status) { m_events.push_back("exit " + std::to_string(status)); });
    }
    void TearDown() override {
        SetProcessExitForTests(nullptr);
        SetTheContext(nullptr);
        platform::SetExecutablePathOverride("");
        m_cwd.reset();
    }

    test::ScopedTempDir m_dir;
    std::string m_install;
    std::unique_ptr<test::ScopedChdir> m_cwd;
    LauncherContext m_context;
    Events m_events;
    test::RecordingUi m_ui;
};

TEST_F(GameClientTest, GameClientGetsTheCommandLinePieceByPiece) {
    test::InstallArgumentRecorder(m_install + "Vd.exe", "vd-args.txt");
    m_context.m_strServerName = "S1";
    m_context.m_strServerAddress = "10.0.0.1:7000";

    m_context.StartGameClient("42", "abc|0||k|a");

    EXPECT_EQ(m_events, Events{"exit 1"});
    ASSERT_TRUE(test::WaitForFile(m_install + "vd-args.txt"));
    EXPECT_EQ(test::ReadFile(m_install + "vd-args.txt"), m_install +
                                                             "Vd.exe\n"
                                                             "dev:S1\n"
                                                             "10.0.0.1:7000\n"
                                                             "42\n"
                                                             "abc|0||k|a\n");
    EXPECT_EQ(test::ReadTextFile("log1.txt"),
              "strStartVd = Vd.exe \"" + m_install + "Vd.exe\" dev:S1 10.0.0.1:7000 42 abc|0||k|a");
}

TEST_F(GameClientTest, ServerNameWithABlankSplitsIntoTwoArguments) {
    test::InstallArgumentRecorder(m_install + "Vd.exe", "vd-args.txt");
    m_context.m_strServerName = "New S";
    m_context.m_strServerAddress = "u";

    m_context.StartGameClient("7", "l|a|d|k|x");

    ASSERT_TRUE(test::WaitForFile(m_install + "vd-args.txt"));
    EXPECT_EQ(test::ReadFile(m_install + "vd-args.txt"), m_install + "Vd.exe\ndev:New\nS\nu\n7\nl|a|d|k|x\n");
}

TEST_F(GameClientTest, MissingGameClientShowsMessage31ThenEnds) {
    m_context.m_strServerName = "S1";
    m_context.m_strServerAddress = "u";
    m_context.StartGameClient("42", "abc|0||k|a");
    EXPECT_EQ(m_events, (Events{"msg31", "exit 1"}));

    // Present but not executable is the same.
    m_events.clear();
    test::WriteFile(m_install + "Vd.exe", "not a program");
    m_context.StartGameClient("42", "abc|0||k|a");
    EXPECT_EQ(m_events, (Events{"msg31", "exit 1"}));
}

class ClientSwitchTest : public GameClientTest {
protected:
    void SetUp() override {
        GameClientTest::SetUp();
        test::InstallArgumentRecorder(m_install + "LumoOld.exe", "lumo-args.txt");
        m_context.m_strControlURL = m_server.Url("/download/control.xml");
    }

    // Runs the check against a control document; true when the old client was started.
    bool RunWith(const std::string& document) {
        m_server.Serve("/download/control.xml", document);
        test::RemoveFile("LoginRes.xml");
        return m_context.CheckClientSwitch();
    }
    std::string Fixture(const std::string& name) { return test::ReadFile(test::DataPath("control/" + name)); }

    LoopbackServer m_server;
};

TEST_F(ClientSwitchTest, ValueZeroLetsStartUpContinue) {
    for (const char* fixture : {"continue.xml", "word_value.xml"}) {
        SCOPED_TRACE(fixture);
        EXPECT_FALSE(RunWith(Fixture(fixture)));
        // The document stays for the login to read until the first login request replaces it.
        EXPECT_EQ(test::ReadFile("LoginRes.xml"), Fixture(fixture));
    }
    EXPECT_EQ(m_server.Requests().back().path, "/download/control.xml");
    EXPECT_EQ(m_events, Events{});
    EXPECT_FALSE(test::Exists(m_install + "lumo-args.txt"));
}

TEST_F(ClientSwitchTest, AnyOtherAnswerStartsTheOldClient) {
    for (const char* fixture :
         {"switch.xml", "no_value.xml", "no_type.xml", "second_type.xml", "not_xml.xml"}) {
        SCOPED_TRACE(fixture);
        test::RemoveFile(m_install + "lumo-args.txt");
        EXPECT_TRUE(RunWith(Fixture(fixture)));
        // Started by its full path with no arguments, even from a folder with a blank in its name.
        ASSERT_TRUE(test::WaitForFile(m_install + "lumo-args.txt"));
        EXPECT_EQ(test::ReadFile(m_install + "lumo-args.txt"), "");
    }
    EXPECT_EQ(m_events, Events{});
}

TEST_F(ClientSwitchTest, UnreachableControlDocumentStartsTheOldClient) {
    m_context.m_strControlURL = m_server.Url("/download/missing.xml");
    EXPECT_TRUE(m_context.CheckClientSwitch());
    EXPECT_TRUE(test::WaitForFile(m_install + "lumo-args.txt"));
    EXPECT_EQ(m_events, Events{"msg14"});

    // A malformed address is quiet.
    m_events.clear();
    m_context.m_strControlURL = "control.xml";
    EXPECT_TRUE(m_context.CheckClientSwitch());
    EXPECT_EQ(m_events, Events{});
}

TEST_F(ClientSwitchTest, MissingOldClientIsNotReported) {
    test::RemoveFile(m_install + "LumoOld.exe");
    EXPECT_TRUE(RunWith(Fixture("switch.xml")));
    EXPECT_EQ(m_events, Events{});
}

}  // namespace
