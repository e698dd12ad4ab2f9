// Hostile patch archives through the whole apply step: whatever an archive holds, nothing
// is written outside the installation folder, no link is made in it, and a patch that
// fails leaves the version file as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <random>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
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
        const std::vector<std::string> all = m_ui.Shown();
        EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(std::min(before, all.size())),
                                           all.end()),
                  std::vector<std::string>{"m25"});
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
        const size_t before = m_ui.Shown().size();
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
        ::_exit(!applied && m_ui.Shown() == std::vector<std::string>{"m25"} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the apply did not fail with message 25";
    EXPECT_EQ(nb::test::ReadFile("data/large.pak"), "the old build's data");
    EXPECT_EQ(Entries("data"), std::set<std::string>{"large.pak"});
    EXPECT_FALSE(nb::test::Exists("after.txt"));
    EXPECT_EQ(nb::test::ReadFile("nbnversion.vsn"), kVersionText);
    // The trace names the item and what the system said.
    EXPECT_NE(nb::test::ReadTextFile("log1.txt").find("patch item 2 (data/large.pak) not extracted: code "
                                                      "0x00000400, File too large\n"),
              std::string::npos)
        << nb::test::ReadTextFile("log1.txt");

    EXPECT_TRUE(m_ctx.ApplyPatch());
    EXPECT_EQ(nb::test::ReadFile("data/large.pak"), large);
    EXPECT_EQ(nb::test::ReadFile("after.txt"), "after");
    EXPECT_EQ(nb::platform::GetProfileString("VERSION", "build", "", "nbnversion.vsn"), "2");
    ExpectNothingOutside();
}

TEST_F(HostileArchiveTest, AnApplyKilledAtAnyMomentLeavesOldOrNewFilesAndTheNextRunFinishes) {
    // Items of many sizes, half of them replacing files of the old build.
    std::vector<nb::test::TestZipItem> items = {nb::test::TestZipItem::File(
        "ncheck_v.txt", "[VERSION]\r\nbfrom=1\r\nbto=2\r\nfinal_version=1.0.2\r\n")};
    std::map<std::string, std::string> newFiles, oldFiles;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "data/f" + std::to_string(i) + ".pak";
        std::string content(static_cast<size_t>(i % 5 == 0 ? 400000 : 3000 * i), static_cast<char>('a' + i % 26));
        content += name;
        items.push_back(nb::test::TestZipItem::File(name, content));
        newFiles[name] = content;
        if (i % 2 == 0) oldFiles[name] = "old " + name;
    }
    ASSERT_TRUE(nb::test::WriteTestZip(m_ctx.m_strPatchFile, items));
    auto oldBuild = [&] {
        fs::remove_all("data");
        fs::create_directories("data");
        for (const auto& [name, content] : oldFiles) nb::test::WriteFile(name, content);
        nb::test::WriteFile("nbnversion.vsn", kVersionText);
    };
    auto applyInChild = [&] {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(m_ctx.ApplyPatch() ? 0 : 1);
        return child;
    };
    // How long a whole apply takes here decides where the kills fall: spread over all of it.
    oldBuild();
    const auto start = std::chrono::steady_clock::now();
    const pid_t whole = applyInChild();
    ASSERT_GT(whole, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(whole, &status, 0), whole);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    oldBuild();

    const unsigned seed = std::random_device{}();
    std::printf("kill points from seed %u\n", seed);
    std::mt19937 random(seed);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = applyInChild();
        ASSERT_GT(child, 0);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, static_cast<useconds_t>(span.count()))(random));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);

        // Every file is whole, old or new; once the version file names build 2, all are new.
        const bool recorded = nb::platform::GetProfileString("VERSION", "build", "", "nbnversion.vsn") == "2";
        for (const auto& [name, content] : newFiles) {
            const std::string now = nb::test::ReadFile(name);
            const auto old = oldFiles.find(name);
            if (now != content) {
                EXPECT_FALSE(recorded) << name << " is not new after round " << round;
                EXPECT_TRUE(old == oldFiles.end() ? !nb::test::Exists(name) : now == old->second)
                    << name << " is torn after round " << round;
            }
        }
        if (recorded) oldBuild();  // the next kill falls into another apply from the old build
    }
    EXPECT_TRUE(m_ctx.ApplyPatch());
    for (const auto& [name, content] : newFiles) EXPECT_EQ(nb::test::ReadFile(name), content) << name;
    std::set<std::string> expected;
    for (const auto& [name, content] : newFiles) expected.insert(name.substr(5));
    EXPECT_EQ(Entries("data"), expected);  // no temporary file of a killed run stays
}
