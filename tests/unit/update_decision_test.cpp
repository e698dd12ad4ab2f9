#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "TestPaths.h"
#include "TestZip.h"
#include "UpdateTestKit.h"
#include "app/LauncherContext.h"
#include "platform/ExecutablePath.h"
#include "platform/Process.h"
#include "update/UpdateDecision.h"

namespace fs = std::filesystem;
using nb::test::TestZipItem;

namespace {

constexpr const char* kVersionText =
    "; installed game\r\n[VERSION]\r\nbuild=41\r\nver=1.0.41\r\nchannel=east\r\n[OTHER]\r\nx=1\r\n";

TestZipItem Control(const std::string& text, const std::string& name = "ncheck_v.txt") {
    return TestZipItem::File(name, text);
}

std::string ControlText(int from, int to, const std::string& version) {
    return "[VERSION]\r\nbfrom=" + std::to_string(from) + "\r\nbto=" + std::to_string(to) +
           "\r\nfinal_version=" + version + "\r\n";
}

std::string VersionTextAt(const std::string& build, const std::string& ver) {
    return "; installed game\r\n[VERSION]\r\nbuild=" + build + "\r\nver=" + ver +
           "\r\nchannel=east\r\n[OTHER]\r\nx=1\r\n";
}

// A temporary installation at build 41 whose launcher is a recording stand-in, as a launcher
// run sees it after reading its version file.
class ApplyPatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_dir.Path());
        nb::test::WriteFile("nbnversion.vsn", kVersionText);
        nb::test::InstallRecordingLauncher(m_dir.File("NbLauncher.exe"));
        nb::platform::SetExecutablePathOverride(m_dir.File("_NbLauncher.bin"));
        m_ctx = FreshRun();
    }
    void TearDown() override {
        nb::SetTheContext(nullptr);
        nb::platform::SetExecutablePathOverride("");
    }

    std::unique_ptr<nb::LauncherContext> FreshRun() {
        nb::SetTheContext(nullptr);
        auto ctx = std::make_unique<nb::LauncherContext>();
        nb::test::NumberMessages(*ctx);
        EXPECT_TRUE(ctx->InitPathsAndEndpoints());
        ctx->m_strCmdArg = "WEB123";
        ctx->m_nServerBuild = 45;
        ctx->m_strUpdateURL = "http://127.0.0.1:1/patches/";
        ctx->DecideUpdate();
        ctx->m_nUpdateState = nb::kStateApplyPatch;  // as after the download
        nb::SetTheContext(ctx.get());
        return ctx;
    }

    // The restarted stand-in has finished writing what it was given.
    bool WaitForRestart() { return nb::test::WaitForFile(m_dir.File("restart.txt")); }

    void WritePatch(const std::vector<TestZipItem>& items) {
        ASSERT_TRUE(nb::test::WriteTestZip(m_dir.File(m_ctx->m_strPatchFile), items));
    }

    // Nothing but the control file written, nothing restarted.
    void ExpectUntouched(bool controlWritten) {
        EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);
        EXPECT_FALSE(nb::test::Exists("data"));
        EXPECT_EQ(nb::test::Exists("ncheck_v.txt"), controlWritten);
        EXPECT_FALSE(nb::test::Exists("restart.txt"));
        EXPECT_EQ(m_ctx->m_nUpdateState, nb::kStateApplyPatch);
    }

    nb::test::ScopedTempDir m_dir;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::test::RecordingUi m_ui;
    std::unique_ptr<nb::LauncherContext> m_ctx;
};

}  // namespace

TEST(DecideUpdate, NamesOnlyTheNextPatchWhenBehind) {
    struct Case {
        int32_t local, server;
        int32_t state;
        std::string file, url;
    };
    const Case cases[] = {
        {45, 45, nb::kStateServerPage, "", "http://u/p/"},
        {46, 45, nb::kStateServerPage, "", "http://u/p/"},
        {41, 45, nb::kStateDownloadPatch, "NBRK42.nbupd", "http://u/p/NBRK42.nbupd"},
        {1023, 1024, nb::kStateDownloadPatch, "NBRK1024.nbupd", "http://u/p/NBRK1024.nbupd"},
        {-1, 0, nb::kStateDownloadPatch, "NBRK0.nbupd", "http://u/p/NBRK0.nbupd"},
        {0, -3, nb::kStateServerPage, "", "http://u/p/"},
    };
    for (const Case& c : cases) {
        nb::LauncherContext ctx;
        ctx.m_nLocalBuild = c.local;
        ctx.m_nServerBuild = c.server;
        ctx.m_strUpdateURL = "http://u/p/";
        ctx.m_nUpdateState = nb::kStateLoginPage;
        EXPECT_TRUE(ctx.DecideUpdate());
        EXPECT_EQ(ctx.m_nUpdateState, c.state) << c.local;
        EXPECT_EQ(ctx.m_strPatchFile, c.file);
        EXPECT_EQ(ctx.m_strUpdateURL, c.url);
    }
    EXPECT_EQ(nb::PatchFileName(2147483646), "NBRK2147483647.nbupd");
}

TEST(DecideUpdate, RestartCommandLine) {
    EXPECT_EQ(nb::RestartCommandLine("/opt/nb/", ""), "/opt/nb/NbLauncher.exe");
    EXPECT_EQ(nb::RestartCommandLine("/opt/nb/", "WEB123"), "/opt/nb/NbLauncher.exe WEB123");
    EXPECT_EQ(nb::RestartCommandLine("/opt/my games/", "t"), "\"/opt/my games/NbLauncher.exe\" t");
    // A token with blanks, quotes or trailing backslashes still arrives as one argument.
    for (const std::string token : {"WEB a b", "say \"hi\"", "end\\", "\\\"x\\\\\""}) {
        EXPECT_EQ(nb::platform::SplitCommandLine(nb::RestartCommandLine("/opt/nb/", token)),
                  (std::vector<std::string>{"/opt/nb/NbLauncher.exe", token}))
            << token;
    }
}

TEST_F(ApplyPatchTest, AppliesInArchiveOrderRewritesTheVersionAndRestarts) {
    TestZipItem launcher = TestZipItem::File("NbLauncher.exe", nb::test::kRecordingLauncherScript, 0100755);
    WritePatch({TestZipItem::File("data/a.txt", "first"), Control(ControlText(41, 45, "1.0.45")), launcher,
                TestZipItem::File("data/a.txt", "second")});
    ASSERT_EQ(m_ctx->m_strPatchFile, "NBRK42.nbupd");

    EXPECT_TRUE(m_ctx->ApplyPatch());
    EXPECT_EQ(m_ctx->m_nUpdateState, nb::kStateServerPage);
    EXPECT_EQ(m_ctx->m_nBuildFrom, 41);
    EXPECT_EQ(m_ctx->m_nBuildTo, 45);
    EXPECT_EQ(m_ctx->m_strFinalVersion, "1.0.45");
    EXPECT_EQ(m_ctx->m_fUnzipTotal, 4.0f);
    EXPECT_EQ(m_ctx->m_fUnzipDone, 4.0f);
    EXPECT_EQ(nb::test::ReadFile("data/a.txt"), "second");
    EXPECT_EQ(nb::test::ReadFile("ncheck_v.txt"), ControlText(41, 45, "1.0.45"));
    EXPECT_TRUE(nb::test::Exists("NBRK42.nbupd"));
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), VersionTextAt("45", "1.0.45"));
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{});
    EXPECT_EQ(m_ui.CloseCount(), 1);

    // The restart ran the launcher the patch brought, with the kept token.
    ASSERT_TRUE(WaitForRestart());
    EXPECT_EQ(nb::test::ReadFile(m_dir.File("restart.txt")), m_dir.File("NbLauncher.exe") + "\n[WEB123]\n");

    // The next run finds the installation current.
    auto next = FreshRun();
    EXPECT_EQ(next->m_nLocalBuild, 45);
    EXPECT_EQ(next->m_strLocalVersion, "1.0.45");
    EXPECT_EQ(next->m_strPatchFile, "");
}

TEST_F(ApplyPatchTest, RestartWithoutTokenPassesNoArgument) {
    m_ctx->m_strCmdArg.clear();
    WritePatch({Control(ControlText(41, 42, "v42"))});
    EXPECT_TRUE(m_ctx->ApplyPatch());
    ASSERT_TRUE(WaitForRestart());
    EXPECT_EQ(nb::test::ReadFile(m_dir.File("restart.txt")), m_dir.File("NbLauncher.exe") + "\n");
}

TEST_F(ApplyPatchTest, RangeCheckAcceptsOnlyBuildsFromBfromToBto) {
    const std::pair<int, bool> cases[] = {{9, false}, {10, true}, {11, true}, {12, true}, {13, false}};
    for (const auto& [build, applies] : cases) {
        SCOPED_TRACE(build);
        nb::test::WriteFile("nbnversion.vsn", "[VERSION]\nbuild=" + std::to_string(build) + "\nver=old\n");
        std::remove("ncheck_v.txt");
        std::remove("restart.txt");
        fs::remove_all("data");
        m_ctx = FreshRun();
        WritePatch({Control(ControlText(10, 12, "v12")), TestZipItem::File("data/x", "x")});
        nb::test::RecordingUi ui;
        EXPECT_EQ(m_ctx->ApplyPatch(), applies);
        EXPECT_EQ(ui.CloseCount(), 1);
        EXPECT_TRUE(nb::test::Exists("ncheck_v.txt"));
        if (applies) {
            EXPECT_EQ(ui.Shown(), std::vector<std::string>{});
            EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\nbuild=12\nver=v12\n");
            EXPECT_TRUE(nb::test::Exists("data/x"));
            EXPECT_TRUE(WaitForRestart());
        } else {
            EXPECT_EQ(ui.Shown(), std::vector<std::string>{"m14"});
            EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"),
                      "[VERSION]\nbuild=" + std::to_string(build) + "\nver=old\n");
            EXPECT_FALSE(nb::test::Exists("data"));
            EXPECT_EQ(m_ctx->m_nUpdateState, nb::kStateApplyPatch);
        }
    }
}

TEST_F(ApplyPatchTest, MissingControlKeysLetOnlyBuildZeroThrough) {
    WritePatch({Control("[VERSION]\r\n"), TestZipItem::File("data/x", "x")});
    EXPECT_FALSE(m_ctx->ApplyPatch());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m14"});
    ExpectUntouched(true);

    nb::test::WriteFile("nbnversion.vsn", "[VERSION]\r\nbuild=0\r\nver=zero\r\n");
    m_ctx = FreshRun();
    ASSERT_EQ(m_ctx->m_strPatchFile, "NBRK1.nbupd");
    WritePatch({Control("; nothing here\r\n"), TestZipItem::File("data/x", "x")});
    EXPECT_TRUE(m_ctx->ApplyPatch());
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), "[VERSION]\r\nbuild=0\r\nver=\r\n");
    EXPECT_TRUE(WaitForRestart());
}

TEST_F(ApplyPatchTest, ArchiveWithoutUsableControlMemberIsRejected) {
    TestZipItem encryptedControl = Control(ControlText(41, 45, "x"));
    encryptedControl.encryptedFlag = true;
    const std::vector<std::vector<TestZipItem>> archives = {
        {},
        {TestZipItem::File("data/x", "x")},
        {Control(ControlText(41, 45, "x"), "NCHECK_V.TXT"), TestZipItem::File("data/x", "x")},
        {Control(ControlText(41, 45, "x"), "sub/ncheck_v.txt"), TestZipItem::File("data/x", "x")},
        {TestZipItem::File(std::string(300, 'n'), "x"), Control(ControlText(41, 45, "x"))},
    };
    for (const auto& items : archives) {
        nb::test::RecordingUi ui;
        WritePatch(items);
        EXPECT_FALSE(m_ctx->ApplyPatch());
        EXPECT_EQ(ui.Shown(), std::vector<std::string>{"m15"});
        EXPECT_EQ(ui.CloseCount(), 0);
        ExpectUntouched(false);
    }
    {
        nb::test::RecordingUi ui;
        WritePatch({encryptedControl, TestZipItem::File("data/x", "x")});
        EXPECT_FALSE(m_ctx->ApplyPatch());
        EXPECT_EQ(ui.Shown(), std::vector<std::string>{"m15"});
        EXPECT_EQ(ui.CloseCount(), 1);
        ExpectUntouched(false);
    }
    for (const std::string& content : {std::string(), std::string("not a zip archive")}) {
        nb::test::RecordingUi ui;
        nb::test::WriteFile(m_ctx->m_strPatchFile, content);
        EXPECT_FALSE(m_ctx->ApplyPatch());
        EXPECT_EQ(ui.Shown(), std::vector<std::string>{"m15"});
        ExpectUntouched(false);
    }
    std::remove(m_ctx->m_strPatchFile.c_str());
    EXPECT_FALSE(m_ctx->ApplyPatch());
}

TEST_F(ApplyPatchTest, ControlMemberIsFoundByItsSanitisedName) {
    WritePatch(
        {TestZipItem::File("data/x", "x"), Control(ControlText(41, 45, "1.0.45"), "..\\/ncheck_v.txt")});
    EXPECT_TRUE(m_ctx->ApplyPatch());
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), VersionTextAt("45", "1.0.45"));
    EXPECT_TRUE(WaitForRestart());
}

TEST_F(ApplyPatchTest, FailedItemKeepsTheVersionAndTheNextRunAppliesAgain) {
    fs::create_directories("data/b.txt");  // a folder in the way of a file
    WritePatch({Control(ControlText(41, 45, "1.0.45")), TestZipItem::File("data/a.txt", "a"),
                TestZipItem::File("data/b.txt", "b"), TestZipItem::File("data/c.txt", "c")});
    EXPECT_FALSE(m_ctx->ApplyPatch());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m25"});
    EXPECT_EQ(m_ui.CloseCount(), 0);  // the worker closes the window
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);
    EXPECT_EQ(nb::test::ReadFile("data/a.txt"), "a");
    EXPECT_FALSE(nb::test::Exists("data/c.txt"));
    EXPECT_EQ(m_ctx->m_fUnzipTotal, 4.0f);
    EXPECT_EQ(m_ctx->m_fUnzipDone, 2.0f);
    EXPECT_EQ(m_ctx->m_nUpdateState, nb::kStateApplyPatch);
    EXPECT_FALSE(nb::test::Exists("restart.txt"));

    fs::remove("data/b.txt");
    m_ctx = FreshRun();
    EXPECT_EQ(m_ctx->m_strPatchFile, "NBRK42.nbupd");
    EXPECT_TRUE(m_ctx->ApplyPatch());
    EXPECT_EQ(nb::test::ReadFile("data/c.txt"), "c");
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), VersionTextAt("45", "1.0.45"));
    EXPECT_TRUE(WaitForRestart());
}

TEST_F(ApplyPatchTest, UnwritableVersionFileStopsBeforeTheRestart) {
    // Restarting would only apply the same patch again, forever.
    fs::remove("nbnversion.vsn");
    fs::create_directory("nbnversion.vsn");
    m_ctx->m_nLocalBuild = 41;
    WritePatch({Control(ControlText(41, 45, "1.0.45")), TestZipItem::File("data/a.txt", "a")});
    EXPECT_FALSE(m_ctx->ApplyPatch());
    EXPECT_EQ(m_ui.Shown(), std::vector<std::string>{"m25"});
    EXPECT_EQ(m_ctx->m_nUpdateState, nb::kStateApplyPatch);
    EXPECT_FALSE(nb::test::Exists("restart.txt"));
}
