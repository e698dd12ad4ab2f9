#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestHosts.h"
#include "TestPaths.h"
#include "app/CommandLine.h"
#include "app/LauncherContext.h"
#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "update/Download.h"

using nb::platform::SplitCommandLine;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine("  a.exe  b\tc "), (Args{"a.exe", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \"two words\" x\"y z\""),
              (Args{"C:\\Program Files\\x.exe", "two words", "xy z"}));
    // Backslashes are literal unless they come before a quote.
    EXPECT_EQ(SplitCommandLine("p a\\\\b a\\\\\\\"b \"a\\\\\" c\\"), (Args{"p", "a\\\\b", "a\\\"b", "a\\", "c\\"}));
    EXPECT_EQ(SplitCommandLine("p \\\"x\\\""), (Args{"p", "\"x\""}));
    EXPECT_EQ(SplitCommandLine("p \"a\"\"b\""), (Args{"p", "a\"b"}));
    // The relaunch form: the quotes around the token group and disappear.
    EXPECT_EQ(SplitCommandLine("/opt/nb/_NbLauncher.bin http://h/z.xml,\"WEB a b\""),
              (Args{"/opt/nb/_NbLauncher.bin", "http://h/z.xml,WEB a b"}));
    // The program path takes quotes only, a backslash before a quote stays a backslash.
    EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" next"), (Args{"C:\\dir\\", "next"}));
}

namespace {

// An installation folder whose "NbLauncher.exe" is a script that records its arguments.
class RelaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_dir.Path());
        const std::string exe = m_dir.File("NbLauncher.exe");
        nb::test::InstallArgumentRecorder(exe, "args.txt");
        nb::platform::SetExecutablePathOverride(exe);
        ASSERT_TRUE(m_ctx.InitPathsAndEndpoints());
        nb::SetRelaunchWait([this](unsigned ms) { m_waits.push_back(ms); });
    }
    void TearDown() override {
        nb::SetDownloadSpeedLimit(0);
        nb::SetRelaunchWait(nullptr);
        nb::platform::SetExecutablePathOverride("");
    }
    int Run(const std::string& arg) {
        nb::CommandLineInfo cmd;
        cmd.m_strFileName = arg;
        return m_ctx.ProcessCommandLine(cmd);
    }
    std::string WaitForArgs() {
        EXPECT_TRUE(nb::test::WaitForFile(m_dir.File("args.txt")));
        return nb::test::ReadFile(m_dir.File("args.txt"));
    }
    std::string Log() { return nb::test::ReadTextFile(m_dir.File("log1.txt")); }

    nb::test::ScopedHosts m_hosts;
    nb::test::ScopedTempDir m_dir;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::LauncherContext m_ctx;
    std::vector<unsigned> m_waits;
};

}  // namespace

TEST_F(RelaunchTest, NoArgumentCopiesAndStartsTheCopyWithTheDefaultZoneList) {
    EXPECT_EQ(Run(""), 1);
    // The copy is the launcher, runnable as it is.
    EXPECT_EQ(nb::test::ReadFile(m_dir.File("_NbLauncher.bin")), nb::test::ReadFile(m_dir.File("NbLauncher.exe")));
    uint32_t copyMode = 0;
    uint32_t launcherMode = 1;
    ASSERT_TRUE(nb::platform::GetFileMode(m_dir.File("_NbLauncher.bin"), copyMode));
    ASSERT_TRUE(nb::platform::GetFileMode(m_dir.File("NbLauncher.exe"), launcherMode));
    EXPECT_EQ(copyMode, launcherMode);
    EXPECT_EQ(WaitForArgs(), "http://127.0.0.2:18001/norbel_xml/zonelist.xml\n");
    EXPECT_EQ(Log(), "cmd1==\ncmd.m_strFileName.GetLength() = 0 \nstrPath = " + m_dir.Path());
    EXPECT_TRUE(m_waits.empty());
}

TEST_F(RelaunchTest, ACommandTokenIsHandedToTheCopyInQuotes) {
    EXPECT_EQ(Run("WEB 1 2"), 1);
    EXPECT_EQ(m_ctx.m_strCmdArg, "WEB 1 2");
    EXPECT_EQ(WaitForArgs(), "http://127.0.0.2:18001/norbel_xml/zonelist.xml,WEB 1 2\n");
    EXPECT_EQ(Log(), "cmd1==WEB 1 2\n-------str = WEB 1 2 \nstrPath = " + m_dir.Path() +
                         "cmd==2222222222222222222\n");
}

TEST_F(RelaunchTest, TheRepairOptionIsNeverATokenAndReachesTheCopy) {
    const char* argv[] = {"NbLauncher.exe", "--repair", "WEB 1 2"};
    const nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(3, argv);
    EXPECT_TRUE(cmd.m_bRepair);
    EXPECT_EQ(cmd.m_strFileName, "WEB 1 2");
    EXPECT_EQ(m_ctx.ProcessCommandLine(cmd), 1);
    EXPECT_EQ(WaitForArgs(), "http://127.0.0.2:18001/norbel_xml/zonelist.xml,WEB 1 2\n--repair\n");
    const char* alone[] = {"NbLauncher.exe", "--repair"};
    EXPECT_EQ(nb::CommandLineInfo::Parse(2, alone).m_strFileName, "");
}

TEST_F(RelaunchTest, CommaAndAddressArgumentsContinueWithoutRelaunch) {
    EXPECT_EQ(Run("http://a/z.xml,tok,en"), 0);
    EXPECT_EQ(m_ctx.m_strZoneListURL, "http://a/z.xml");
    EXPECT_EQ(m_ctx.m_strCmdArg, "tok,en");

    nb::LauncherContext leadingComma;
    nb::CommandLineInfo cmd{",token"};
    EXPECT_EQ(leadingComma.ProcessCommandLine(cmd), 0);
    EXPECT_EQ(leadingComma.m_strZoneListURL, "");
    EXPECT_EQ(leadingComma.m_strCmdArg, "token");

    nb::LauncherContext address;
    cmd.m_strFileName = "http://cfg/zonelist.xml";
    EXPECT_EQ(address.ProcessCommandLine(cmd), 0);
    EXPECT_EQ(address.m_strZoneListURL, "http://cfg/zonelist.xml");
    EXPECT_EQ(address.m_strCmdArg, "");

    nb::LauncherContext ht;  // a token that contains "ht" counts as an address
    cmd.m_strFileName = "night";
    EXPECT_EQ(ht.ProcessCommandLine(cmd), 0);
    EXPECT_EQ(ht.m_strZoneListURL, "night");
    EXPECT_FALSE(nb::test::Exists(m_dir.File("_NbLauncher.bin")));
    // "cmd2==strToken不空==" in code page 936.
    EXPECT_NE(Log().find("cmd2==strToken\xB2\xBB\xBF\xD5==tok,en\n"), std::string::npos);
}

TEST_F(RelaunchTest, SpeedLimitComesFromTheCommandLineOrTheStringsFileAndGoesToTheCopy) {
    const char* argv[] = {"NbLauncher.exe", "--max-download-kbps=300", "WEB 1"};
    nb::CommandLineInfo cmd = nb::CommandLineInfo::Parse(3, argv);
    EXPECT_EQ(cmd.m_strFileName, "WEB 1");  // the option is never the token
    m_ctx.m_strDownloadLimitSetting = "100";
    m_ctx.ChooseDownloadLimit(cmd);
    EXPECT_EQ(nb::DownloadSpeedLimit(), 300u * 1024);
    EXPECT_EQ(m_ctx.ProcessCommandLine(cmd), 1);
    EXPECT_EQ(WaitForArgs(), "http://127.0.0.2:18001/norbel_xml/zonelist.xml,WEB 1\n--max-download-kbps=300\n");

    // A value that is no number is traced and left out; the strings file's key counts then.
    cmd.m_optMaxDownloadKbps = "3x";
    m_ctx.ChooseDownloadLimit(cmd);
    EXPECT_EQ(nb::DownloadSpeedLimit(), 100u * 1024);
    EXPECT_EQ(m_ctx.m_strPassOnOptions, "");
    cmd.m_optMaxDownloadKbps.reset();
    for (const char* bad : {"-5", "fast", "999999999999"}) {
        m_ctx.m_strDownloadLimitSetting = bad;
        m_ctx.ChooseDownloadLimit(cmd);
        EXPECT_EQ(nb::DownloadSpeedLimit(), 0u) << bad;
    }
    const std::string log = Log();
    EXPECT_NE(log.find("download speed limit: 300 KB/s\n"), std::string::npos) << log;
    EXPECT_NE(log.find("--max-download-kbps=3x ignored: not a whole number of kilobytes per second"),
              std::string::npos);
    EXPECT_NE(log.find("max_download_kbps=fast ignored"), std::string::npos);
}

TEST_F(RelaunchTest, AnUnwritableCopyIsTriedTenTimesASecondApart) {
    nb::platform::MakeFolder(m_dir.File("_NbLauncher.bin"));  // cannot be replaced by a file
    EXPECT_EQ(Run(""), 2);
    EXPECT_EQ(m_waits, std::vector<unsigned>(10, 1000u));
    EXPECT_FALSE(nb::test::Exists(m_dir.File("args.txt")));
}

TEST(RelaunchCommandLine, QuotesAProgramPathWithABlank) {
    EXPECT_EQ(nb::RelaunchCommandLine("/opt/nb/", "http://h/z", ""), "/opt/nb/_NbLauncher.bin http://h/z");
    EXPECT_EQ(nb::RelaunchCommandLine("/opt/my games/", "http://h/z", "t"),
              "\"/opt/my games/_NbLauncher.bin\" http://h/z,\"t\"");
    EXPECT_EQ(SplitCommandLine(nb::RelaunchCommandLine("/opt/my games/", "http://h/z", "WEB x y")),
              (Args{"/opt/my games/_NbLauncher.bin", "http://h/z,WEB x y"}));
}

TEST(RelaunchCommandLine, HandsAnyTokenToTheCopyUnchanged) {
    // Tokens with quotes or backslashes once reached the copy changed or split in two.
    for (const std::string token : {"plain", "two words", "a\"b", "\"", "end\\", "end\\\\", "a\\\"b",
                                    "\\\\server\\share", "\" --flag \"", "tab\there"}) {
        EXPECT_EQ(SplitCommandLine(nb::RelaunchCommandLine("/opt/my games/", "http://h/z", token)),
                  (Args{"/opt/my games/_NbLauncher.bin", "http://h/z," + token}))
            << token;
    }
}

TEST(QuoteArgument, IsUndoneBySplitCommandLine) {
    EXPECT_EQ(nb::platform::QuoteArgument("plain"), "plain");
    EXPECT_EQ(nb::platform::QuoteArgument("plain", true), "\"plain\"");
    EXPECT_EQ(nb::platform::QuoteArgument(""), "\"\"");
    EXPECT_EQ(nb::platform::QuoteArgument("a b\\"), "\"a b\\\\\"");
    EXPECT_EQ(nb::platform::QuoteArgument("a\"b"), "\"a\\\"b\"");
    const Args args{"p", "", " ", "\\", "\\\"", "\"\"", "x\\y\\", "\t\\\\\""};
    std::string line = "p";
    for (size_t i = 1; i < args.size(); ++i) {
        line += ' ';
        line += nb::platform::QuoteArgument(args[i]);
    }
    EXPECT_EQ(SplitCommandLine(line), args);
}

TEST(StartProcess, ReportsWhetherAProgramWasStarted) {
    EXPECT_FALSE(nb::platform::StartProcess(""));
    EXPECT_FALSE(nb::platform::StartProcess("/nonexistent/program arg"));
    EXPECT_FALSE(nb::platform::StartProcess("no-such-program-anywhere-1234"));
    nb::test::ScopedTempDir dir;
    EXPECT_TRUE(nb::platform::StartProcess(nb::platform::QuoteArgument(NB_TEST_CHILD) + " " +
                                           nb::platform::QuoteArgument(dir.File("out.txt"))));
    EXPECT_TRUE(nb::test::WaitForFile(dir.File("out.txt")));
}
