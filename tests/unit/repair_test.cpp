#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <random>

#include "LoopbackServer.h"
#include "TestZip.h"
#include "TestPaths.h"
#include "UpdateTestKit.h"
#include "update/FreeSpaceCheck.h"
#include "update/ReleaseKeys.h"
#include "update/RepairInstallation.h"
#include "update/VerifyInstallation.h"

namespace fs = std::filesystem;
using nb::test::ReadFile;
using nb::test::WriteFile;

namespace {

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
}

// Build 7 of a game (its full archive and signed manifest published by nb-mkpatch) and an
// installation of it; the archive is served with Range requests that the test can make lie.
class RepairTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string key = m_dir.File("release.pem");
        std::string out;
        ASSERT_EQ(nb::test::RunMkpatch({"keygen", key}, &out), 0) << out;
        nb::OverrideReleaseKeysForTests(out.substr(0, out.find('\n')));
        const std::string build = m_dir.File("b7/");
        fs::create_directories(build + "data/maps");
        for (int i = 0; i < 12; ++i)
            WriteFile(build + "data/maps/m" + std::to_string(i) + ".map", Noise(20000 + 1000 * i, i));
        WriteFile(build + "data/big.pak", Noise(300000, 99));
        WriteFile(build + "readme.txt", std::string(5000, 'r'));
        ASSERT_EQ(nb::test::RunMkpatch({"-q", "--full", "--sign", key, "--bfrom", "6", "--bto", "7",
                                        "--final-version", "1.0.7", "-o", m_dir.File("NBRK7.nbupd"), build},
                                       &out),
                  0)
            << out;
        m_archive = ReadFile(m_dir.File("NBFULL7.nbupd"));
        m_manifestText = ReadFile(m_dir.File("NBRK7.nbupd.manifest"));
        ASSERT_FALSE(m_archive.empty());
        m_install = m_dir.File("install/");
        fs::copy(build, m_install, fs::copy_options::recursive);
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_install);
        WriteFile(nb::kInstalledManifest, m_manifestText);
        m_server.Handle("/p/NBFULL7.nbupd", [this](const nb::test::LoopbackServer::Request& r) { return Serve(r); });
    }
    void TearDown() override {
        nb::OverrideReleaseKeysForTests(std::nullopt);
        nb::SetFreeSpaceQuery(nullptr);
    }

    nb::test::LoopbackServer::Reply Serve(const nb::test::LoopbackServer::Request& request) {
        std::lock_guard lock(m_mutex);
        const std::string& body = m_served.empty() ? m_archive : m_served;
        const std::string range = request.Header("Range");
        if (m_ignoreRange || range.rfind("bytes=", 0) != 0) return {200, body, {}, "application/octet-stream"};
        const std::string spec = range.substr(6);
        const size_t dash = spec.find('-');
        size_t first, last;
        if (dash == 0) {
            first = body.size() - std::min<size_t>(std::stoull(spec.substr(1)), body.size());
            last = body.size() - 1;
        } else {
            first = std::stoull(spec.substr(0, dash));
            last = dash + 1 < spec.size() ? std::stoull(spec.substr(dash + 1)) : body.size() - 1;
        }
        std::string part = body.substr(first, last - first + 1);
        // A lying cache: member bytes (not the directory at the end) come back changed.
        if (m_corruptMembers && last + 1 < body.size()) part[part.size() / 2] ^= 0x20;
        m_sent += part.size();
        return {206,
                part,
                {{"Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                       std::to_string(body.size())}},
                "application/octet-stream"};
    }

    nb::PatchManifest Manifest() {
        nb::PatchManifest manifest;
        std::string error;
        EXPECT_TRUE(nb::LoadInstalledManifest(nb::kInstalledManifest, 7, nb::BuiltInReleaseKeys().keys, manifest,
                                              error))
            << error;
        return manifest;
    }
    std::vector<std::string> Damaged(const nb::PatchManifest& manifest,
                                     std::vector<const nb::ManifestFile*>* files = nullptr) {
        std::vector<const nb::ManifestFile*> damaged;
        EXPECT_TRUE(nb::FindDamagedFiles(manifest, "./", {}, nullptr, damaged));
        std::vector<std::string> names;
        for (const auto* f : damaged) names.push_back(f->path);
        if (files) *files = damaged;
        return names;
    }
    bool Restore(nb::RepairReport& report) {
        const nb::PatchManifest manifest = Manifest();
        std::vector<const nb::ManifestFile*> damaged;
        Damaged(manifest, &damaged);
        return nb::RestoreFiles(manifest, damaged, m_server.Url("/p/NBFULL7.nbupd"), {}, report);
    }
    void Break() {
        fs::remove("data/maps/m3.map");
        std::string pak = ReadFile("data/big.pak");
        pak[1000] ^= 1;
        WriteFile("data/big.pak", pak);
        // What a killed earlier run left where the next file goes.
        fs::remove("data/maps/m4.map");
        WriteFile("data/maps/m4.map.nb~", "half");
    }
    void ExpectBuild() {
        EXPECT_EQ(ReadFile("data/big.pak"), ReadFile(m_dir.File("b7/data/big.pak")));
        EXPECT_EQ(ReadFile("data/maps/m3.map"), ReadFile(m_dir.File("b7/data/maps/m3.map")));
        EXPECT_EQ(ReadFile("data/maps/m4.map"), ReadFile(m_dir.File("b7/data/maps/m4.map")));
        EXPECT_FALSE(nb::test::Exists("data/maps/m4.map.nb~"));
        EXPECT_FALSE(nb::test::Exists("NBFULL7.nbupd.ranges"));
        EXPECT_FALSE(nb::test::Exists("NBFULL7.nbupd"));
        EXPECT_EQ(Damaged(Manifest()), std::vector<std::string>{});
    }

    nb::test::ScopedTempDir m_dir;
    std::string m_install;
    std::string m_archive;
    std::string m_manifestText;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
    nb::test::LoopbackServer m_server;
    std::mutex m_mutex;
    std::string m_served;  // when not empty, served instead of the archive
    bool m_ignoreRange = false;
    bool m_corruptMembers = false;
    size_t m_sent = 0;
};

}  // namespace

TEST_F(RepairTest, OnlyTheDamagedMembersAreFetchedAndCheckedBeforeTheyReplaceAnything) {
    Break();
    EXPECT_EQ(Damaged(Manifest()),
              (std::vector<std::string>{"data/big.pak", "data/maps/m3.map", "data/maps/m4.map"}));

    // Bytes that pass the zip checks or not, the manifest's hash is the judge: nothing is
    // replaced, and the damaged files stay as they were for the next run.
    m_corruptMembers = true;
    nb::RepairReport report;
    EXPECT_FALSE(Restore(report));
    EXPECT_NE(report.error.find("data/"), std::string::npos) << report.error;
    EXPECT_EQ(report.repaired, 1u);  // m3 and m4 are adjacent: one run of bytes, one changed byte
    EXPECT_FALSE(nb::test::Exists("NBFULL7.nbupd.ranges"));

    m_corruptMembers = false;
    m_sent = 0;
    const size_t requestsBefore = m_server.RequestCount();
    EXPECT_TRUE(Restore(report)) << report.error;
    EXPECT_FALSE(report.wholeArchive);
    EXPECT_EQ(report.bytesFetched, m_sent);
    // The end of the archive, the records of the files, then their members and nothing else.
    EXPECT_LT(report.bytesFetched, report.membersStored + 10000);
    EXPECT_LE(m_server.RequestCount() - requestsBefore, 6u);
    ExpectBuild();

    // Another packer's archive, in another order: its whole directory is read instead.
    std::vector<nb::test::TestZipItem> items;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.File("b7")))
        if (entry.is_regular_file())
            items.push_back(nb::test::TestZipItem::File(fs::relative(entry.path(), m_dir.File("b7")).generic_string(),
                                                        ReadFile(entry.path().string())));
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.name > b.name; });
    ASSERT_TRUE(nb::test::WriteTestZip(m_dir.File("other.zip"), items));
    m_served = ReadFile(m_dir.File("other.zip"));
    Break();
    EXPECT_TRUE(Restore(report)) << report.error;
    ExpectBuild();
}

TEST_F(RepairTest, AServerWithoutRangesGivesTheWholeArchiveOnce) {
    Break();
    m_ignoreRange = true;
    nb::RepairReport report;
    EXPECT_TRUE(Restore(report)) << report.error;
    EXPECT_TRUE(report.wholeArchive);
    EXPECT_EQ(report.bytesFetched, m_archive.size());
    ExpectBuild();
}

TEST_F(RepairTest, BadManifestsAndArchivesAreRefusedWithoutTouchingTheInstallation) {
    nb::PatchManifest manifest;
    std::string error;
    const auto keys = nb::BuiltInReleaseKeys().keys;
    auto load = [&](int build) {
        error.clear();
        return nb::LoadInstalledManifest(nb::kInstalledManifest, build, keys, manifest, error);
    };
    EXPECT_FALSE(load(8));
    EXPECT_NE(error.find("describes build 7, the installation is at build 8"), std::string::npos) << error;
    std::string text = m_manifestText;
    text[text.find("readme.txt")] = 'R';
    WriteFile(nb::kInstalledManifest, text);
    EXPECT_FALSE(load(7));
    EXPECT_NE(error.find("signature does not match"), std::string::npos) << error;
    text = m_manifestText;
    text.insert(text.find("signature "), "file 4 " + std::string(64, '0') + " 0644 ../outside.txt\n");
    WriteFile(nb::kInstalledManifest, text);
    EXPECT_FALSE(load(7));
    EXPECT_NE(error.find("'..' part"), std::string::npos) << error;
    fs::remove(nb::kInstalledManifest);
    EXPECT_FALSE(load(7));
    EXPECT_NE(error.find("is missing"), std::string::npos) << error;
    WriteFile(nb::kInstalledManifest, m_manifestText);

    // A disk too full for the members: said before a byte of them is fetched.
    Break();
    const std::string pakBefore = ReadFile("data/big.pak");
    nb::SetFreeSpaceQuery([](const std::string&, uint64_t& bytes) {
        bytes = 100000;
        return true;
    });
    nb::RepairReport report;
    EXPECT_FALSE(Restore(report));
    EXPECT_GT(report.missingSpace, 0u);
    EXPECT_LT(report.bytesFetched, 10000u);
    EXPECT_EQ(ReadFile("data/big.pak"), pakBefore);
    nb::SetFreeSpaceQuery(nullptr);

    // A full archive cut inside its central directory.
    m_served = m_archive.substr(0, m_archive.size() - 300);
    EXPECT_FALSE(Restore(report));
    EXPECT_NE(report.error.find("central directory"), std::string::npos) << report.error;
    EXPECT_EQ(ReadFile("data/big.pak"), pakBefore);
    EXPECT_FALSE(nb::test::Exists("data/maps/m3.map"));
    EXPECT_FALSE(nb::test::Exists("NBFULL7.nbupd.ranges"));

    m_served.clear();
    EXPECT_TRUE(Restore(report)) << report.error;
    ExpectBuild();
}
