#include <gtest/gtest.h>
#include <string>

#include "TestHosts.h"
#include "TestPaths.h"
#include "app/LauncherContext.h"
#include "platform/ExecutablePath.h"
#include "platform/MachineSettings.h"

namespace {

class LocalFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_dir.Path());
        nb::platform::MachineSettings::SetLocation(m_dir.File("machine/settings.ini"));
        nb::platform::SetExecutablePathOverride(m_dir.File("NbLauncher.exe"));
    }
    void TearDown() override {
        nb::platform::MachineSettings::SetLocation("");
        nb::platform::SetExecutablePathOverride("");
    }
    nb::test::ScopedTempDir m_dir;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::LauncherContext m_ctx;
};

}  // namespace

TEST_F(LocalFilesTest, EitherFileMissingFailsAndLoadsNothing) {
    nb::test::WriteFile("nblocalstr.ini", "[local_setting]\nlocal_str=cn\n[cn]\n1001=x\n");
    EXPECT_FALSE(m_ctx.LoadLocalFiles());
    EXPECT_EQ(m_ctx.m_MessageTable[0], "");
    std::remove("nblocalstr.ini");
    nb::test::WriteFile("nbnversion.vsn", "");
    EXPECT_FALSE(m_ctx.LoadLocalFiles());
    EXPECT_FALSE(nb::test::Exists("log1.txt"));
}

TEST_F(LocalFilesTest, LoadsTheMessagesFromTheLanguageSection) {
    nb::test::WriteFile("nbnversion.vsn", "");
    std::string strings =
        "[local_setting]\r\nlocal_str = SimpChinese\r\nmax_download_kbps = 512\r\n[simpchinese]\r\n";
    for (int n = 0; n < 41; ++n) strings += std::to_string(1001 + n) + "=message " + std::to_string(n) + "\r\n";
    strings += "1003=" + std::string(300, 'L') + "\r\n";  // a later duplicate does not count
    nb::test::WriteFile("nblocalstr.ini", strings);
    ASSERT_TRUE(m_ctx.LoadLocalFiles());
    EXPECT_EQ(m_ctx.m_MessageTable[0], "message 0");
    EXPECT_EQ(m_ctx.m_MessageTable[39], "message 39");
    EXPECT_EQ(m_ctx.m_MessageTable[40], "message 40");  // a later message, with a built-in text
    EXPECT_EQ(m_ctx.m_MessageTable[46], "\xca\xa3\xd3\xe0");  // the file lacks it: the built-in one
    EXPECT_EQ(m_ctx.m_strDownloadLimitSetting, "512");
    // Absent from this file: the built-in text, with the place of the missing amount.
    EXPECT_NE(m_ctx.m_MessageTable[41].find(" %u MB "), std::string::npos);
    EXPECT_EQ(m_ctx.MessageText(300), "");
    EXPECT_EQ(m_ctx.MessageText(-1), "");
    EXPECT_EQ(nb::test::ReadTextFile("log1.txt"), "strlocSet==SimpChinese\n");
}

TEST_F(LocalFilesTest, MissingLanguageSectionAndLongTextsAreNotErrors) {
    nb::test::WriteFile("nbnversion.vsn", "");
    nb::test::WriteFile("nblocalstr.ini", "[local_setting]\nlocal_str=nowhere\n[cn]\n1001=" + std::string(10000, 'x'));
    ASSERT_TRUE(m_ctx.LoadLocalFiles());
    EXPECT_EQ(m_ctx.m_MessageTable[0], "");

    nb::LauncherContext other;
    nb::test::WriteFile("nblocalstr.ini", "[local_setting]\nlocal_str=cn\n[cn]\n1001=" + std::string(10000, 'x'));
    ASSERT_TRUE(other.LoadLocalFiles());
    EXPECT_EQ(other.m_MessageTable[0], std::string(255, 'x'));
}

TEST_F(LocalFilesTest, PathsEndpointsAndBuildNumber) {
    nb::test::WriteFile("nbnversion.vsn", "[VERSION]\nbuild=12abc\nver=1.0.12\n");
    nb::test::ScopedHosts hosts;
    ASSERT_TRUE(m_ctx.InitPathsAndEndpoints());
    EXPECT_EQ(m_ctx.m_strInstallPath, m_dir.Path());
    EXPECT_EQ(m_ctx.m_nLocalBuild, 12);
    EXPECT_EQ(m_ctx.m_strLocalVersion, "1.0.12");
    EXPECT_EQ(m_ctx.m_strDefaultZoneListURL, "http://127.0.0.2:18001/norbel_xml/zonelist.xml");
    EXPECT_EQ(m_ctx.m_strLauncherNavPage, "http://127.0.0.3:18002/launchernav.html");
    EXPECT_EQ(m_ctx.m_strLauncherPage, "http://127.0.0.3:18002/launcher.html");
    EXPECT_EQ(m_ctx.m_strDownloadPage, "http://127.0.0.3:18002/download");
    EXPECT_EQ(m_ctx.m_strControlURL, "http://127.0.0.3:18002/download/control.xml");

    for (auto [text, build] : std::vector<std::pair<std::string, int>>{
             {"", 0}, {"-7", -7}, {"99999999999", 2147483647}, {"abc", 0}, {"\"12\"", 12}, {" '13' ", 13}}) {
        nb::test::WriteFile("nbnversion.vsn", "[VERSION]\nbuild=" + text + "\n");
        nb::LauncherContext ctx;
        ASSERT_TRUE(ctx.InitPathsAndEndpoints());
        EXPECT_EQ(ctx.m_nLocalBuild, build) << text;
    }
    std::remove("nbnversion.vsn");
    nb::LauncherContext missing;
    ASSERT_TRUE(missing.InitPathsAndEndpoints());
    EXPECT_EQ(missing.m_nLocalBuild, 0);
    EXPECT_EQ(missing.m_strLocalVersion, "");
}

TEST_F(LocalFilesTest, RegisterInstallPathCreatesAndCorrectsTheStoredFolder) {
    using nb::platform::MachineSettings;
    ASSERT_TRUE(m_ctx.InitPathsAndEndpoints());
    m_ctx.RegisterInstallPath();
    std::string stored;
    ASSERT_TRUE(MachineSettings::ReadString("Software\\Ploxa\\Nb", "InstalledPath", stored));
    EXPECT_EQ(stored, m_dir.Path());

    // A value that differs only in letter case is rewritten.
    std::string upper = m_dir.Path();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(MachineSettings::WriteString("Software\\Ploxa\\Nb", "InstalledPath", upper));
    m_ctx.RegisterInstallPath();
    ASSERT_TRUE(MachineSettings::ReadString("Software\\Ploxa\\Nb", "InstalledPath", stored));
    EXPECT_EQ(stored, m_dir.Path());
}
