// What the archive reader does with what only a POSIX system has: Unix modes and links,
// file times under a chosen time zone (TZ), files that are open or mapped while they are
// replaced, and names that end in dots (Windows drops those dots).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "TestPaths.h"
#include "TestZip.h"
#include "ZipArchiveFixture.h"
#include "update/ZipArchive.h"

namespace fs = std::filesystem;
using nb::ZipArchive;
using nb::ZipItemInfo;
using nb::ZipResult;
using nb::test::Tree;
using nb::test::TestZipItem;

namespace {

constexpr uint64_t kFileTimeOf1970 = 116444736000000000ULL;

// The process's time zone for a scope (DOS times in archives are local times).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (m_old) ::setenv("TZ", m_old->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

class ZipArchiveLinuxTest : public nb::test::ZipArchiveTest {};

}  // namespace

TEST_F(ZipArchiveLinuxTest, AttributesComeFromTheUnixModeOrTheDosBits) {
    TestZipItem link = TestZipItem::File("link", "../../../../../outside", 0120777);
    auto zip = Make({
        TestZipItem::File("rw.txt", "a", 0100644),
        TestZipItem::File("ro.txt", "b", 0100444),
        TestZipItem::File("tool", "c", 0100755),
        TestZipItem::DosFile("dos-ro.txt", "d", 0x21),
        TestZipItem::DosFile("dos-hidden.txt", "e", 0x06),
        link,
    });
    ASSERT_TRUE(zip);
    ZipItemInfo info;
    ASSERT_EQ(zip->GetItemInfo(0, info), ZipResult::kOk);
    EXPECT_EQ(info.attributes, nb::kZipAttrArchive);
    ASSERT_EQ(zip->GetItemInfo(1, info), ZipResult::kOk);
    EXPECT_EQ(info.attributes, nb::kZipAttrArchive | nb::kZipAttrReadOnly);
    ASSERT_EQ(zip->GetItemInfo(3, info), ZipResult::kOk);
    EXPECT_EQ(info.attributes, nb::kZipAttrArchive | nb::kZipAttrReadOnly);
    ASSERT_EQ(zip->GetItemInfo(4, info), ZipResult::kOk);
    EXPECT_EQ(info.attributes, nb::kZipAttrHidden | nb::kZipAttrSystem);
    ASSERT_EQ(zip->GetItemInfo(5, info), ZipResult::kOk);
    EXPECT_TRUE(info.symbolicLink);

    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(6, ZipResult::kOk));
    EXPECT_EQ(ModeOf(m_root + "rw.txt") & 07777, 0644u);
    EXPECT_EQ(ModeOf(m_root + "ro.txt") & 07777, 0444u);
    EXPECT_EQ(ModeOf(m_root + "tool") & 07777, 0755u);
    EXPECT_EQ(ModeOf(m_root + "dos-ro.txt") & 07777, 0444u);
    EXPECT_EQ(ModeOf(m_root + "dos-hidden.txt") & 07777, 0644u);
    // A stored link becomes a plain file holding the link's text.
    EXPECT_TRUE(S_ISREG(ModeOf(m_root + "link")));
    EXPECT_EQ(nb::test::ReadFile(m_root + "link"), "../../../../../outside");
}

TEST_F(ZipArchiveLinuxTest, ReadOnlyFilesAndLinksInTheWayAreReplaced) {
    nb::test::WriteFile(m_root + "ro.txt", "old");
    ::chmod((m_root + "ro.txt").c_str(), 0444);
    const std::string victim = m_dir.File("victim.txt");
    nb::test::WriteFile(victim, "keep");
    fs::create_symlink(victim, m_root + "via-link.txt");

    auto zip = Make({TestZipItem::File("ro.txt", "new", 0100444), TestZipItem::File("via-link.txt", "data")});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(2, ZipResult::kOk));
    EXPECT_EQ(nb::test::ReadFile(m_root + "ro.txt"), "new");
    EXPECT_EQ(ModeOf(m_root + "ro.txt") & 07777, 0444u);
    // And again over the now read-only result.
    EXPECT_EQ(zip->ExtractItem(0, "ro.txt"), ZipResult::kOk);
    EXPECT_EQ(nb::test::ReadFile(victim), "keep");
    EXPECT_TRUE(S_ISREG(ModeOf(m_root + "via-link.txt")));
    EXPECT_EQ(nb::test::ReadFile(m_root + "via-link.txt"), "data");
}

TEST_F(ZipArchiveLinuxTest, DosTimeIsLocalAndTheFirstUtBlockWins) {
    TestZipItem stamped = TestZipItem::File("stamped", "x");
    // An unrelated block first, then two "UT" blocks of which only the first counts.
    stamped.localExtra = std::string("\x0a\x00\x02\x00zz", 6) + nb::test::UtExtraBlock(1, {0}) +
                         nb::test::UtExtraBlock(7, {1000, 2000, 3000});
    TestZipItem all = TestZipItem::File("all", "y");
    all.localExtra = nb::test::UtExtraBlock(7, {1600000000, 1600000100, 1600000200});
    TestZipItem shortBlock = TestZipItem::File("short", "z");
    shortBlock.localExtra = nb::test::UtExtraBlock(7, {1600000000});  // claims three times, holds one
    auto zip = Make({TestZipItem::File("plain", "p"), stamped, all, shortBlock});
    ASSERT_TRUE(zip);

    // 2021-06-15 10:20:30 eight hours east of UTC is 02:20:30 UTC.
    ScopedTimeZone eastOfUtc("UTC-8");
    const uint64_t dos = 132681972300000000ULL;
    ZipItemInfo info;
    ASSERT_EQ(zip->GetItemInfo(0, info), ZipResult::kOk);
    EXPECT_EQ(info.writeTime, dos);
    EXPECT_EQ(info.accessTime, dos);
    EXPECT_EQ(info.createTime, dos);
    ASSERT_EQ(zip->GetItemInfo(1, info), ZipResult::kOk);
    EXPECT_EQ(info.writeTime, kFileTimeOf1970);
    EXPECT_EQ(info.accessTime, dos);
    EXPECT_EQ(info.createTime, dos);
    ASSERT_EQ(zip->GetItemInfo(2, info), ZipResult::kOk);
    EXPECT_EQ(info.writeTime, 132444736000000000ULL);  // 1600000000 s after 1970
    EXPECT_EQ(info.accessTime, 132444737000000000ULL);
    EXPECT_EQ(info.createTime, 132444738000000000ULL);
    ASSERT_EQ(zip->GetItemInfo(3, info), ZipResult::kOk);
    EXPECT_EQ(info.writeTime, 132444736000000000ULL);
    EXPECT_EQ(info.accessTime, dos);

    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(4, ZipResult::kOk));
    struct stat st {};
    ASSERT_EQ(::stat((m_root + "stamped").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 0);
    EXPECT_EQ(st.st_atime, nb::test::DosTimeAsUnix(TestZipItem::kDosDate));
    ASSERT_EQ(::stat((m_root + "all").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);
    EXPECT_EQ(st.st_atime, 1600000100);
}

TEST_F(ZipArchiveLinuxTest, FilesAreReplacedByRenameSoOpenCopiesKeepTheirBytes) {
    const std::string target = m_root + "nbwebview.so";
    nb::test::WriteFile(target, "old library");
    const int fd = ::open(target.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* mapped = ::mmap(nullptr, 11, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    // A killed run's temporary files: one a link to a file outside, one full of junk.
    const std::string victim = m_dir.File("victim.txt");
    nb::test::WriteFile(victim, "keep");
    fs::create_symlink(victim, target + ".nb~");
    nb::test::WriteFile(m_root + "other.nb~", "junk from a killed run");

    TestZipItem badCrc = TestZipItem::File("nbwebview.so", "damaged");
    badCrc.crc = 0x12345678;
    auto zip = Make({TestZipItem::File("nbwebview.so", "new library, longer"), TestZipItem::File("other", "o"),
                     badCrc});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), (std::vector<ZipResult>{ZipResult::kOk, ZipResult::kOk, ZipResult::kDataError}));
    EXPECT_EQ(nb::test::ReadFile(target), "new library, longer");
    EXPECT_EQ(std::string(static_cast<const char*>(mapped), 11), "old library");
    char buffer[32] = {};
    EXPECT_EQ(::pread(fd, buffer, sizeof buffer, 0), 11);
    EXPECT_EQ(std::string(buffer), "old library");
    ::munmap(mapped, 11);
    ::close(fd);
    EXPECT_EQ(nb::test::ReadFile(victim), "keep");
    EXPECT_EQ(nb::test::ReadFile(m_root + "other"), "o");
    // The damaged item left the good file as it was, and no temporary file stays behind.
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"nbwebview.so", "other"}));
}

TEST_F(ZipArchiveLinuxTest, ItemsWithoutUnixModeKeepTheExecuteBitsOfWhatTheyReplace) {
    for (const char* name : {"NbLauncher.exe", "ro-tool", "unix-over-exe"}) {
        nb::test::WriteFile(m_root + name, "old");
        ::chmod((m_root + name).c_str(), 0755);
    }
    nb::test::WriteFile(m_root + "data.txt", "old");
    ::chmod((m_root + "data.txt").c_str(), 0640);
    auto zip = Make({
        TestZipItem::DosFile("NbLauncher.exe", "new", 0x20),
        TestZipItem::DosFile("ro-tool", "new", 0x21),
        TestZipItem::DosFile("data.txt", "new", 0x20),
        TestZipItem::DosFile("fresh", "new", 0x20),
        TestZipItem::File("unix-over-exe", "new", 0100644),
    });
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(5, ZipResult::kOk));
    EXPECT_EQ(ModeOf(m_root + "NbLauncher.exe") & 07777, 0755u);
    EXPECT_EQ(ModeOf(m_root + "ro-tool") & 07777, 0555u);
    EXPECT_EQ(ModeOf(m_root + "data.txt") & 07777, 0644u);
    EXPECT_EQ(ModeOf(m_root + "fresh") & 07777, 0644u);
    EXPECT_EQ(ModeOf(m_root + "unix-over-exe") & 07777, 0644u);  // a Unix mode says it all
    EXPECT_EQ(nb::test::ReadFile(m_root + "NbLauncher.exe"), "new");
}

TEST_F(ZipArchiveLinuxTest, ArchivesFromOtherToolsKeepTheirModesAndTimes) {
    auto unixZip = ZipArchive::Open(nb::test::DataPath("zip/infozip-unix.zip"));
    ASSERT_TRUE(unixZip);
    EXPECT_EQ(ExtractAll(*unixZip), std::vector<ZipResult>(4, ZipResult::kOk));
    EXPECT_EQ(ModeOf(m_root + "bin/run.sh") & 07777, 0755u);
    struct stat st {};
    ASSERT_EQ(::stat((m_root + "data/readme.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);
}
TEST_F(ZipArchiveLinuxTest, Zip64ItemsKeepTheirUnixMode) {
    auto zip64 = ZipArchive::Open(nb::test::DataPath("zip/python-zip64.zip"));
    ASSERT_TRUE(zip64);
    EXPECT_EQ(ExtractAll(*zip64), std::vector<ZipResult>(3, ZipResult::kOk));
    EXPECT_EQ(ModeOf(m_root + "big/tool") & 07777, 0755u);
}

TEST_F(ZipArchiveLinuxTest, ABackslashThatIsATrailByteStartsNoParentStep) {
    auto zip = Make({TestZipItem::File("\x95\\..\\k", "12")});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>{ZipResult::kOk});
    EXPECT_EQ(nb::test::ReadFile(m_root + "\x95\\../k"), "12");
}
