// Hostile patch archives through the whole apply step: whatever an archive holds, nothing
// is written outside the installation folder, no link is made in it, and a patch that
// fails leaves the version file as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <set>

#include "TestPaths.h"
#include "TestZip.h"
#include "UpdateTestKit.h"
#include "app/LauncherContext.h"
#include "platform/IniProfile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersionText = "[VERSION]\r\nbuild=1\r\nver=1.0.1\r\n";

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// The installation sits two folders deep in the temporary folder, so that a step out of
// it of one, two or three levels lands where the test looks.
class HostileArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Install());
        m_cd = std::make_unique<nb::test::ScopedChdir>(Install());
        nb::test::WriteFile("nbnversion.vsn", kVersionText);
        nb::test::NumberMessages(m_ctx);
        m_ctx.m_strInstallPath = Install();
        m_ctx.m_nLocalBuild = 1;
        m_ctx.m_strPatchFile = "NBRK2.nbupd";
        m_ctx.m_nUpdateState = nb::kStateApplyPatch;
        nb::SetTheContext(&m_ctx);
    }
    void TearDown() override { nb::SetTheContext(nullptr); }

    std::string Install() const { return m_dir.Path() + "outer/middle/install/"; }

    bool Apply(const std::string& fixture) {
        fs::copy_file(nb::test::DataPath("malicious/" + fixture), m_ctx.m_strPatchFile);
        return m_ctx.ApplyPatch();
    }

    void ExpectNothingOutside() {
        EXPECT_EQ(Entries(m_dir.Path()), std::set<std::string>{"outer"});
        EXPECT_EQ(Entries(m_dir.Path() + "outer"), std::set<std::string>{"middle"});
        EXPECT_EQ(Entries(m_dir.Path() + "outer/middle"), std::set<std::string>{"install"});
        for (const char* probe : {"/nb-robust-absolute-probe.txt", "/nb-robust-backslash-probe.txt",
                                  "/nb-robust-drive-probe.txt", "/tmp/through-abs-link.txt"}) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(probe))) << probe;
        }
        for (const auto& e : fs::recursive_directory_iterator(Install())) {
            EXPECT_FALSE(e.is_symlink()) << e.path();
        }
    }

    // Message 25 alone since `before` messages.
    void ExpectRefused(size_t before = 0) {
        const std::vector<std::string> all = m_ui.Messages();
        EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(std::min(before, all.size())),
                                           all.end()),
                  std::vector<std::string>{"message 25"});
        EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);
        EXPECT_EQ(m_ctx.m_nUpdateState, nb::kStateApplyPatch);
    }

    nb::test::ScopedTempDir m_dir;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::test::RecordingUi m_ui;
    nb::LauncherContext m_ctx;
};

}  // namespace

TEST_F(HostileArchiveTest, EscapingNamesLandInsideTheInstallation) {
    EXPECT_TRUE(Apply("escape-names.zip"));
    ExpectNothingOutside();
    for (const char* name :
         {"up-one.txt", "up-two.txt", "up-three.txt", "up-four.txt", "up-five.txt",
          "nb-robust-absolute-probe.txt", "nb-robust-backslash-probe.txt", "nb-robust-drive-probe.txt",
          "nb-robust-drive-up-probe.txt", "server/share/unc.txt", "dot-up.txt"}) {
        EXPECT_TRUE(nb::test::Exists(name)) << name;
    }
    EXPECT_EQ(nb::platform::GetProfileString("VERSION", "build", "", "nbnversion.vsn"), "2");
}

TEST_F(HostileArchiveTest, ALinkEntryIsAPlainFileAndNothingGoesThroughIt) {
    EXPECT_FALSE(Apply("symlink-escape.zip"));
    ExpectRefused();
    ExpectNothingOutside();
    EXPECT_EQ(nb::test::ReadFile("outside"), "../..");
}

TEST_F(HostileArchiveTest, ItemsThatCannotBeExtractedFailThePatch) {
    for (const char* fixture :
         {"long-name.zip", "corrupt-stream.zip", "encrypted-item.zip", "overlapping-entries.zip"}) {
        SCOPED_TRACE(fixture);
        const size_t before = m_ui.Messages().size();
        fs::remove(m_ctx.m_strPatchFile);
        EXPECT_FALSE(Apply(fixture));
        ExpectRefused(before);
        ExpectNothingOutside();
    }
    // What came before the bad item stays; the bad item's own output is not complete.
    EXPECT_EQ(nb::test::ReadFile("short.txt"), "s");
    EXPECT_EQ(nb::test::ReadFile("first.txt"), "fine");
    EXPECT_FALSE(nb::test::Exists("secret.txt") && nb::test::ReadFile("secret.txt") == "secret data\n");
}

TEST_F(HostileArchiveTest, AFullDiskFailsThePatchCleanlyAndTheNextRunApplies) {
    // Bytes that do not compress, so the item is as large on disk as in the archive.
    std::string large(3000000, '\0');
    uint32_t x = 12345;
    for (char& c : large) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    ASSERT_TRUE(nb::test::WriteTestZip(
        m_ctx.m_strPatchFile,
        {nb::test::TestZipItem::File("ncheck_v.txt", "[VERSION]\r\nbfrom=1\r\nbto=2\r\nfinal_version=1.0.2\r\n"),
         nb::test::TestZipItem::File("small.txt", "small"), nb::test::TestZipItem::File("data/large.pak", large),
         nb::test::TestZipItem::File("after.txt", "after")}));
    fs::create_directories("data");
    nb::test::WriteFile("data/large.pak", "the old build's data");

    // In a child, so that the file-size limit (a stand-in for a full disk) binds nothing else.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1000000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool applied = m_ctx.ApplyPatch();
        ::_exit(!applied && m_ui.Messages() == std::vector<std::string>{"message 25"} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the apply did not fail with message 25";
    EXPECT_EQ(nb::test::ReadFile("data/large.pak"), "the old build's data");
    EXPECT_EQ(Entries("data"), std::set<std::string>{"large.pak"});
    EXPECT_FALSE(nb::test::Exists("after.txt"));
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);

    EXPECT_TRUE(m_ctx.ApplyPatch());
    EXPECT_EQ(nb::test::ReadFile("data/large.pak"), large);
    EXPECT_EQ(nb::test::ReadFile("after.txt"), "after");
    EXPECT_EQ(nb::platform::GetProfileString("VERSION", "build", "", "nbnversion.vsn"), "2");
    ExpectNothingOutside();
}
