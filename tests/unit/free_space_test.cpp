// Room on the disk before a patch is fetched or applied: the player learns how much is
// missing before any file changes, the bytes a resumed download already holds count, and
// an apply needs room for each item beside the file it replaces.
#include <gtest/gtest.h>

#include <filesystem>

#include "LoopbackServer.h"
#include "RecordingUi.h"
#include "TestPaths.h"
#include "TestZip.h"
#include "app/LauncherContext.h"
#include "platform/FreeSpace.h"
#include "platform/IniProfile.h"
#include "update/FreeSpaceCheck.h"
#include "update/ZipArchive.h"

namespace fs = std::filesystem;
using Shown = std::vector<std::string>;

namespace {

constexpr const char* kVersionText = "[VERSION]\r\nbuild=1\r\nver=1.0.1\r\n";
constexpr uint64_t kMiB = 1024 * 1024;

class FreeSpaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        nb::test::WriteFile("nbnversion.vsn", kVersionText);
        m_ctx.m_MessageTable[14] = "m14";
        m_ctx.m_MessageTable[25] = "m25";
        m_ctx.m_MessageTable[41] = "short by %u MB";
        m_ctx.m_strInstallPath = m_dir.Path();
        m_ctx.m_nLocalBuild = 1;
        m_ctx.m_strPatchFile = "NBRK2.nbupd";
        nb::SetTheContext(&m_ctx);
    }
    void TearDown() override {
        nb::SetFreeSpaceQuery(nullptr);
        nb::SetTheContext(nullptr);
    }

    // The disk has `free` bytes left, whatever it really has.
    static void DiskWithFree(uint64_t free) {
        nb::SetFreeSpaceQuery([free](const std::string&, uint64_t& bytes) {
            bytes = free;
            return true;
        });
    }

    nb::test::ScopedTempDir m_dir;
    nb::test::ScopedChdir m_cd{m_dir.Path()};
    nb::test::RecordingUi m_ui;
    nb::LauncherContext m_ctx;
    nb::test::LoopbackServer m_server;
};

}  // namespace

TEST_F(FreeSpaceTest, AnApplyWithoutRoomChangesNothingAndSaysHowMuchIsMissing) {
    const std::string big(kMiB, 'b');
    const std::string added(256 * 1024, 'n');
    ASSERT_TRUE(nb::test::WriteTestZip(
        m_ctx.m_strPatchFile,
        {nb::test::TestZipItem::File("ncheck_v.txt",
                                     "[VERSION]\r\nbfrom=1\r\nbto=2\r\nfinal_version=1.0.2\r\n"),
         nb::test::TestZipItem::File("data/big.pak", big), nb::test::TestZipItem::File("data/new.pak", added),
         nb::test::TestZipItem::File("small.txt", "new small")}));
    fs::create_directories("data");
    const std::string oldBig(kMiB, 'o');
    nb::test::WriteFile("data/big.pak", oldBig);
    nb::test::WriteFile("small.txt", "old");
    nb::test::WriteFile("ncheck_v.txt", "the last patch's");

    // The replaced big file and its new copy stand side by side for a moment; what follows
    // grows the installation less.
    auto archive = nb::ZipArchive::Open(m_ctx.m_strPatchFile);
    ASSERT_TRUE(archive);
    constexpr uint64_t kNeeded = kMiB;
    EXPECT_EQ(nb::ApplySpaceNeeded(*archive), kNeeded);
    archive.reset();

    DiskWithFree(4095);
    EXPECT_FALSE(m_ctx.ApplyPatch());
    EXPECT_EQ(m_ui.Shown(), Shown{"short by 1 MB"});
    EXPECT_EQ(nb::test::ReadFile("data/big.pak"), oldBig);
    EXPECT_EQ(nb::test::ReadFile("small.txt"), "old");
    EXPECT_FALSE(nb::test::Exists("data/new.pak"));
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);
    EXPECT_NE(nb::test::ReadTextFile("log1.txt")
                  .find("not enough space for NBRK2.nbupd: 1048576 bytes needed, "
                        "1044481 missing"),
              std::string::npos);

    m_ui.ClearShown();
    DiskWithFree(kNeeded);
    EXPECT_TRUE(m_ctx.ApplyPatch());
    EXPECT_EQ(m_ui.Shown(), Shown{});
    EXPECT_EQ(nb::test::ReadFile("data/big.pak"), big);
    EXPECT_EQ(nb::test::ReadFile("data/new.pak"), added);
    EXPECT_EQ(nb::platform::GetProfileString("VERSION", "build", "", "nbnversion.vsn"), "2");
}

TEST_F(FreeSpaceTest, ADownloadNeedsRoomOnlyForTheBytesStillToCome) {
    std::string body(3000000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 251);
    m_server.Serve("/patch/NBRK2.nbupd", body);
    m_ctx.m_strUpdateURL = m_server.Url("/patch/NBRK2.nbupd");
    m_ctx.m_nUpdateState = nb::kStateDownloadPatch;

    // Not message 14 as well: nothing went wrong with the transfer.
    DiskWithFree(kMiB);
    EXPECT_FALSE(m_ctx.DownloadPatch());
    EXPECT_EQ(m_ui.Shown(), Shown{"short by 2 MB"});
    EXPECT_FALSE(nb::test::Exists("NBRK2.nbupd"));
    EXPECT_FALSE(nb::test::Exists("NBRK2.nbupd.dlhalf!") &&
                 !nb::test::ReadFile("NBRK2.nbupd.dlhalf!").empty());

    // What an earlier run fetched is on the disk already.
    m_ui.ClearShown();
    nb::test::WriteFile("NBRK2.nbupd.dlhalf!", body.substr(0, 2500000));
    EXPECT_TRUE(m_ctx.DownloadPatch());
    EXPECT_EQ(m_ui.Shown(), Shown{});
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), body);
}

TEST_F(FreeSpaceTest, TheSystemsAnswersAndTheMessageText) {
    uint64_t free = 0;
    EXPECT_TRUE(nb::platform::QueryFreeSpace(m_dir.Path(), free));
    EXPECT_GT(free, 0u);

    uint64_t size = 7;
    nb::test::WriteFile("five.txt", "12345");
    EXPECT_TRUE(nb::platform::GetRegularFileSize(m_dir.File("five.txt"), size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(nb::platform::GetRegularFileSize(m_dir.Path(), size));
    EXPECT_FALSE(nb::platform::GetRegularFileSize(m_dir.File("missing.txt"), size));

    EXPECT_EQ(nb::MissingSpaceText("need %u MB (%u)", 1), "need 1 MB (%u)");
    EXPECT_EQ(nb::MissingSpaceText("need %u MB", kMiB), "need 1 MB");
    EXPECT_EQ(nb::MissingSpaceText("no room:", kMiB + 1), "no room: 2 MB");
}
