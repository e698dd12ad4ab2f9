#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "LoopbackServer.h"
#include "TestPaths.h"
#include "TestZip.h"
#include "RecordingUi.h"
#include "UpdateTestKit.h"
#include "app/LauncherContext.h"
#include "platform/ExecutablePath.h"
#include "update/ReleaseKeys.h"
#include "update/UpdateWorker.h"

namespace fs = std::filesystem;
using nb::test::ReadFile;
using nb::test::TestZipItem;
using nb::test::WriteFile;

namespace {

constexpr const char* kVersion43 = "[VERSION]\r\nbuild=43\r\nver=1.0.43\r\n";
constexpr const char* kVersion44 = "[VERSION]\r\nbuild=44\r\nver=1.0.44\r\n";

std::string Keygen(const std::string& keyFile) {
    std::string out;
    EXPECT_EQ(nb::test::RunMkpatch({"keygen", keyFile}, &out), 0) << out;
    return out.substr(0, out.find('\n'));
}

// Builds 42, 43 and 44 of a game with signed patches 42->43 and 43->44 (by the release key)
// and an installation at 43 that applies patches with only that key built in.
class TrustedUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_key = m_dir.File("release.pem");
        nb::OverrideReleaseKeysForTests(Keygen(m_key));
        for (int b : {42, 43, 44}) {
            const std::string folder = m_dir.File("b" + std::to_string(b) + "/");
            fs::create_directories(folder + "data");
            WriteFile(folder + "data/level.pak", std::string(30000 + b, static_cast<char>('a' + b - 42)));
            WriteFile(folder + "readme.txt", "build " + std::to_string(b));
        }
        for (int b : {43, 44}) MakePatch(b, m_key, "patch" + std::to_string(b) + "/");
        m_install = m_dir.File("install/");
        fs::create_directories(m_install);
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_install);
        nb::test::InstallRecordingLauncher(m_install + "NbLauncher.exe");
        fs::copy(m_dir.File("b43"), m_install, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        WriteFile("nbnversion.vsn", kVersion43);
        nb::platform::SetExecutablePathOverride(m_install + "_NbLauncher.bin");
    }
    void TearDown() override {
        nb::OverrideReleaseKeysForTests(std::nullopt);
        nb::SetTheContext(nullptr);
        nb::platform::SetExecutablePathOverride("");
    }

    // NBRK<to>.nbupd and its manifest under `folder`, signed with `key`.
    void MakePatch(int to, const std::string& key, const std::string& folder) {
        fs::create_directories(m_dir.File(folder));
        std::string out;
        ASSERT_EQ(nb::test::RunMkpatch({"--bfrom", std::to_string(to - 1), "--bto", std::to_string(to),
                                        "--final-version", "1.0." + std::to_string(to), "--sign", key, "-o",
                                        m_dir.File(folder + Name(to)), m_dir.File("b" + std::to_string(to - 1)),
                                        m_dir.File("b" + std::to_string(to))},
                                       &out),
                  0)
            << out;
    }
    static std::string Name(int to) { return "NBRK" + std::to_string(to) + ".nbupd"; }
    std::string Genuine(int to, const char* suffix = "") {
        return ReadFile(m_dir.File("patch" + std::to_string(to) + "/" + Name(to) + suffix));
    }

    // One launcher run's patch cycle against a server that publishes `archive` and, unless
    // null, `manifest` as NBRK44; the messages it showed.
    std::vector<std::string> Run(const std::string& archive, const std::string* manifest) {
        nb::test::LoopbackServer server;
        server.Serve("/p/NBRK44.nbupd", archive);
        if (manifest) server.Serve("/p/NBRK44.nbupd.manifest", *manifest);
        nb::test::RecordingUi ui;
        nb::SetTheContext(nullptr);
        auto ctx = std::make_unique<nb::LauncherContext>();
        nb::test::NumberMessages(*ctx);
        ctx->m_MessageTable[40] = "m40";
        EXPECT_TRUE(ctx->InitPathsAndEndpoints());
        ctx->m_nServerBuild = 44;
        ctx->m_strUpdateURL = server.Url("/p/");
        EXPECT_TRUE(ctx->DecideUpdate());
        nb::SetTheContext(ctx.get());
        std::atomic<bool> stop{false};
        std::thread worker([&] { nb::UpdateWorker(*ctx, stop); });
        EXPECT_TRUE(ui.WaitForClose());
        stop = true;
        worker.join();
        m_requests = server.RequestCount();
        return ui.Shown();
    }
    std::vector<std::string> RunGenuine() {
        const std::string manifest = Genuine(44, ".manifest");
        return Run(Genuine(44), &manifest);
    }

    void ExpectUntouched() {
        EXPECT_EQ(ReadFile("nbnversion.vsn"), kVersion43);
        EXPECT_EQ(ReadFile("readme.txt"), "build 43");
        EXPECT_EQ(ReadFile("data/level.pak"), ReadFile(m_dir.File("b43/data/level.pak")));
        EXPECT_FALSE(nb::test::Exists("restart.txt"));
        EXPECT_FALSE(nb::test::Exists("ncheck_v.txt"));
    }
    void ExpectApplied() {
        // The fresh launcher was started (and is done before the folder goes).
        EXPECT_TRUE(nb::test::WaitForFile(m_install + "restart.txt"));
        fs::remove(m_install + "restart.txt");
        EXPECT_EQ(ReadFile("nbnversion.vsn"), kVersion44);
        EXPECT_EQ(ReadFile("readme.txt"), "build 44");
        EXPECT_EQ(ReadFile("data/level.pak"), ReadFile(m_dir.File("b44/data/level.pak")));
    }

    nb::test::ScopedTempDir m_dir;
    std::string m_key;
    std::string m_install;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    size_t m_requests = 0;
};

}  // namespace

TEST_F(TrustedUpdateTest, EveryForgeryIsRefusedAndTheGenuinePatchAppliesNextRun) {
    const std::string manifest = Genuine(44, ".manifest");
    const std::string archive = Genuine(44);
    const std::string otherKey = m_dir.File("other.pem");
    Keygen(otherKey);
    MakePatch(44, otherKey, "other/");
    std::string changed = manifest;
    changed[changed.find("bto 44") + 5] = '5';
    // An archive with the same names, sizes and CRCs-correct items but other bytes.
    const std::string forgedPath = m_dir.File("forged.zip");
    ASSERT_TRUE(nb::test::WriteTestZip(
        forgedPath, {TestZipItem::File("ncheck_v.txt", "[VERSION]\nbfrom=43\nbto=44\nfinal_version=1.0.44\n"),
                     TestZipItem::File("readme.txt", "evil 44")}));
    struct Case {
        const char* what;
        std::string archive;
        std::optional<std::string> manifest;
    };
    const std::vector<Case> cases = {
        {"forged archive", ReadFile(forgedPath), manifest},
        {"signed by another key", ReadFile(m_dir.File("other/NBRK44.nbupd")),
         ReadFile(m_dir.File("other/NBRK44.nbupd.manifest"))},
        {"one byte of the manifest changed", archive, changed},
        {"manifest missing", archive, std::nullopt},
        {"manifest truncated", archive, manifest.substr(0, manifest.size() - 20)},
        {"older genuine patch replayed", Genuine(43), Genuine(43, ".manifest")},
        {"archive longer", archive + "trailing", manifest},
        {"archive shorter", archive.substr(0, archive.size() - 1), manifest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Run(c.archive, c.manifest ? &*c.manifest : nullptr), std::vector<std::string>{"m40"});
        ExpectUntouched();
        EXPECT_FALSE(nb::test::Exists("NBRK44.nbupd"));
        EXPECT_NE(ReadFile("log1.txt").find("patch not verified: "), std::string::npos);
        fs::remove("log1.txt");
    }
    EXPECT_EQ(RunGenuine(), std::vector<std::string>{});
    ExpectApplied();
    EXPECT_EQ(m_requests, 2u);  // the manifest, then the archive
}

TEST_F(TrustedUpdateTest, ArchivesOnDiskAreHashedAndRefetchedWhenWrong) {
    const std::string archive = Genuine(44);
    // A partial download with one byte changed: resumed, hashed with its old bytes, refused
    // and dropped, so the next run fetches it whole.
    std::string partial = archive.substr(0, archive.size() / 2);
    partial[100] ^= 1;
    WriteFile("NBRK44.nbupd.dlhalf!", partial);
    const std::string manifest = Genuine(44, ".manifest");
    EXPECT_EQ(Run(archive, &manifest), std::vector<std::string>{"m40"});
    ExpectUntouched();
    EXPECT_FALSE(nb::test::Exists("NBRK44.nbupd"));
    EXPECT_FALSE(nb::test::Exists("NBRK44.nbupd.dlhalf!"));

    // A genuine partial file is continued, and the whole is the signed archive.
    WriteFile("NBRK44.nbupd.dlhalf!", archive.substr(0, archive.size() / 2));
    EXPECT_EQ(RunGenuine(), std::vector<std::string>{});
    ExpectApplied();

    // A finished archive on disk that is not the signed one is removed and fetched again.
    WriteFile("nbnversion.vsn", kVersion43);
    WriteFile("NBRK44.nbupd", archive.substr(1) + "x");
    EXPECT_EQ(RunGenuine(), std::vector<std::string>{});
    ExpectApplied();
    EXPECT_EQ(m_requests, 2u);
}

TEST(ReleaseKeysTest, KeysAreReadAndAMistypedOneStillRequiresSignatures) {
    const std::string a = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";
    const std::string b = "ZGVmZ2hpamtsbW5vcHFyc3R1dnd4eXp7fH1+f4CBgoM=";
    EXPECT_FALSE(nb::ParseReleaseKeys("").required);
    EXPECT_FALSE(nb::ParseReleaseKeys("  ").required);
    const nb::ReleaseKeys two = nb::ParseReleaseKeys(" " + a + " ," + b);
    EXPECT_TRUE(two.required);
    ASSERT_EQ(two.keys.size(), 2u);
    EXPECT_EQ(nb::platform::EncodeBase64(std::string_view(reinterpret_cast<const char*>(two.keys[1].data()), 32)), b);
    const nb::ReleaseKeys typo = nb::ParseReleaseKeys(a.substr(1));
    EXPECT_TRUE(typo.required);
    EXPECT_TRUE(typo.keys.empty());
}

TEST(BuiltInMessageTest, AStringsFileWithoutTheNewMessageGetsTheBuiltInText) {
    nb::test::ScopedTempDir dir;
    nb::test::ScopedChdir cd(dir.Path());
    WriteFile("nbnversion.vsn", kVersion43);
    WriteFile("nblocalstr.ini", "[local_setting]\r\nlocal_str=S\r\n[S]\r\n1040=last old\r\n");
    nb::LauncherContext old;
    ASSERT_TRUE(old.LoadLocalFiles());
    EXPECT_EQ(old.MessageText(39), "last old");
    // "更新文件未通过..." in code page 936
    EXPECT_EQ(old.MessageText(40).substr(0, 6), "\xb8\xfc\xd0\xc2\xce\xc4");
    WriteFile("nblocalstr.ini", "[local_setting]\r\nlocal_str=S\r\n[S]\r\n1041=own text\r\n");
    nb::LauncherContext fresh;
    ASSERT_TRUE(fresh.LoadLocalFiles());
    EXPECT_EQ(fresh.MessageText(40), "own text");
}
