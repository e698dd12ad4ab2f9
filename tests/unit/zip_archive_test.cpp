#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "TestPaths.h"
#include "TestZip.h"
#include "ZipArchiveFixture.h"
#include "platform/Files.h"
#include "update/ZipArchive.h"

namespace fs = std::filesystem;
using nb::ZipArchive;
using nb::ZipItemInfo;
using nb::ZipResult;
using nb::test::Tree;
using nb::test::TestZipItem;
using nb::test::ZipArchiveTest;

namespace {

// An archive held in memory: the reader sees nothing but the byte-source interface.
class MemorySource : public nb::platform::ByteSource {
public:
    explicit MemorySource(std::string bytes) : m_bytes(std::move(bytes)) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool ReadAt(uint64_t offset, void* data, size_t size) override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) return false;
        std::memcpy(data, m_bytes.data() + offset, size);
        return true;
    }

private:
    std::string m_bytes;
};

}  // namespace

TEST(ZipNameSanitiser, StripsDrivesLeadingSeparatorsAndParentSteps) {
    const std::pair<std::string, std::string> cases[] = {
        {"c:\\dir\\a.txt", "dir\\a.txt"},
        {"x/../../y.dat", "y.dat"},
        {"/etc/x", "etc/x"},
        {"\\x", "x"},
        {"c:\\x", "x"},
        {"c:x", "x"},
        {"//\\\\x", "x"},
        {"data/../../../x.bin", "x.bin"},
        {"../x.bin", "x.bin"},
        {"..\\x.bin", "x.bin"},
        {"..\\../..\\x", "x"},
        {"a\\..\\b", "b"},
        {"a\\../b", "b"},
        {"a/..\\b", "b"},
        {"a/b/../c/../d", "d"},
        {"c:/../d:\\..\\x", "x"},
        {"./..\\x", "x"},
        {"..\\", ""},
        {"plain/name.txt", "plain/name.txt"},
        // What the patterns cannot reach stays; extraction refuses it.
        {"..", ".."},
        {"a/..", "a/.."},
        {"...\\x", "...\\x"},
        // A backslash that is the trail byte of a double-byte character is no separator.
        {"\x95\\..\\x", "\x95\\..\\x"},
        {std::string("ab\0/../x", 8), "ab"},
    };
    for (const auto& [stored, expected] : cases) EXPECT_EQ(nb::SanitizeZipName(stored), expected) << stored;
}

TEST(ZipNameSanitiser, PathsUseSlashesAndParentSegmentsAreFound) {
    EXPECT_EQ(nb::ZipNameToPath("a\\b/c\\d"), "a/b/c/d");
    EXPECT_EQ(nb::ZipNameToPath("\x95\\x\\y"), "\x95\\x/y");  // trail byte kept
    EXPECT_TRUE(nb::HasParentSegment(".."));
    EXPECT_TRUE(nb::HasParentSegment("a/../b"));
    EXPECT_TRUE(nb::HasParentSegment("a/.."));
    EXPECT_FALSE(nb::HasParentSegment("a/..b/c.."));
    EXPECT_FALSE(nb::HasParentSegment("..."));
}

TEST_F(ZipArchiveTest, HostileNamesNeverLeaveTheRoot) {
    const std::string outside = m_dir.File("l1/escaped");
    auto zip = Make({
        TestZipItem::File("/etc/x", "1"),
        TestZipItem::File("\\y", "2"),
        TestZipItem::File("c:\\z", "3"),
        TestZipItem::File("data/../../../x.bin", "4"),
        TestZipItem::File("../up1", "5"),
        TestZipItem::File("..\\..\\up2", "6"),
        TestZipItem::File("a/b/..", "7"),
        TestZipItem::File("..", "8"),
        TestZipItem::File("d\\..", "9"),
        TestZipItem::File("win\\style\\file.txt", "10"),
        TestZipItem::File(outside, "11"),  // absolute: lands under the root
    });
    ASSERT_TRUE(zip);
    const std::vector<ZipResult> results = ExtractAll(*zip);
    const std::vector<ZipResult> expected = {
        ZipResult::kOk,         ZipResult::kOk, ZipResult::kOk,         ZipResult::kOk,
        ZipResult::kOk,         ZipResult::kOk, ZipResult::kCannotOpen, ZipResult::kCannotOpen,
        ZipResult::kCannotOpen, ZipResult::kOk, ZipResult::kOk,
    };
    EXPECT_EQ(results, expected);

    EXPECT_EQ(nb::test::ReadFile(m_root + "etc/x"), "1");
    EXPECT_EQ(nb::test::ReadFile(m_root + "y"), "2");
    EXPECT_EQ(nb::test::ReadFile(m_root + "z"), "3");
    EXPECT_EQ(nb::test::ReadFile(m_root + "x.bin"), "4");
    EXPECT_EQ(nb::test::ReadFile(m_root + "up1"), "5");
    EXPECT_EQ(nb::test::ReadFile(m_root + "up2"), "6");
    EXPECT_EQ(nb::test::ReadFile(m_root + "win/style/file.txt"), "10");
    EXPECT_EQ(nb::test::ReadFile(m_root + nb::ZipNameToPath(nb::SanitizeZipName(outside))), "11");
    EXPECT_FALSE(nb::test::Exists(outside));
    // Above the root there is nothing but the folders that lead to it.
    std::set<std::string> aboveRoot;
    for (const std::string& name : Tree(m_dir.Path()))
        if (name.rfind("l1/l2/l3/root/", 0) != 0) aboveRoot.insert(name);
    EXPECT_EQ(aboveRoot, (std::set<std::string>{"test.zip", "l1", "l1/l2", "l1/l2/l3", "l1/l2/l3/root"}));

    // A destination with a parent step is refused whatever the caller passes.
    EXPECT_EQ(zip->ExtractItem(0, "../../../escaped"), ZipResult::kCannotOpen);
    EXPECT_EQ(zip->ExtractItem(0, "ok\\..\\..\\escaped"), ZipResult::kCannotOpen);
    EXPECT_FALSE(nb::test::Exists(m_dir.File("l1/escaped")));
}

TEST_F(ZipArchiveTest, FoldersAreMadeParentsFirstAndFolderItemsWriteNoFile) {
    TestZipItem folder = TestZipItem::File("f/g/", "");
    folder.externalAttributes = (040755u << 16) | 0x10;
    TestZipItem dosFolder = TestZipItem::DosFile("h\\i", "", 0x10);
    auto zip = Make({TestZipItem::File("a/b/c/file.dat", "deep"), folder, dosFolder});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(3, ZipResult::kOk));
    EXPECT_EQ(nb::test::ReadFile(m_root + "a/b/c/file.dat"), "deep");
    EXPECT_TRUE(nb::platform::IsFolder(m_root + "f/g"));
    EXPECT_TRUE(nb::platform::IsFolder(m_root + "h/i"));
    EXPECT_EQ(Tree(m_root),
              (std::set<std::string>{"a", "a/b", "a/b/c", "a/b/c/file.dat", "f", "f/g", "h", "h/i"}));
}

TEST_F(ZipArchiveTest, CountSizesAndIndexLimits) {
    static const char* const kNames[] = {"f0", "f1", "f2", "f3", "f4", "f5", "f6"};
    std::vector<TestZipItem> items;
    for (const char* name : kNames) items.push_back(TestZipItem::File(name, std::string(1000, 'a')));
    auto zip = Make(items);
    ASSERT_TRUE(zip);
    ZipItemInfo info;
    info.name = "stale";
    ASSERT_EQ(zip->GetItemInfo(-1, info), ZipResult::kOk);
    EXPECT_EQ(info.index, 7);
    EXPECT_EQ(info.name, "");
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.writeTime, 0u);

    // Backwards and repeated requests give the right records.
    for (int32_t i : {6, 2, 2, 0, 5}) {
        ASSERT_EQ(zip->GetItemInfo(i, info), ZipResult::kOk);
        EXPECT_EQ(info.index, i);
        EXPECT_EQ(info.name, kNames[i]);
        EXPECT_EQ(info.size, 1000u);
        EXPECT_LT(info.compressedSize, 1000u);
    }
    EXPECT_EQ(zip->GetItemInfo(7, info), ZipResult::kBadArgument);
    EXPECT_EQ(zip->GetItemInfo(-2, info), ZipResult::kBadArgument);
    EXPECT_EQ(zip->ExtractItem(-1, "x"), ZipResult::kBadArgument);
    EXPECT_EQ(zip->ExtractItem(7, "x"), ZipResult::kBadArgument);
    EXPECT_EQ(zip->ExtractItem(3, "other/name"), ZipResult::kOk);
    EXPECT_EQ(nb::test::ReadFile(m_root + "other/name"), std::string(1000, 'a'));
}

TEST_F(ZipArchiveTest, LongNamesAndPathsAreRefusedNeverCut) {
    const size_t room = nb::kZipMaxPath - 1 - m_root.size();  // longest name that fits under the root
    ASSERT_GT(room, 10u);
    auto zip = Make({
        TestZipItem::File(std::string(300, 'n'), "a"),
        TestZipItem::File(std::string(259, 'm'), "b"),
        TestZipItem::File(std::string(room, 'k'), "c"),
        TestZipItem::File("d/" + std::string(room - 2 + 1, 'j'), "d"),
    });
    ASSERT_TRUE(zip);
    ZipItemInfo info;
    EXPECT_EQ(zip->GetItemInfo(0, info), ZipResult::kCannotOpen);
    ASSERT_EQ(zip->GetItemInfo(1, info), ZipResult::kOk);
    EXPECT_EQ(info.name.size(), 259u);
    EXPECT_EQ(zip->ExtractItem(1, info.name), ZipResult::kCannotOpen);  // fits the record, not the root
    EXPECT_EQ(zip->ExtractItem(2, std::string(room, 'k')), ZipResult::kOk);
    EXPECT_EQ(nb::test::ReadFile(m_root + std::string(room, 'k')), "c");
    ASSERT_EQ(zip->GetItemInfo(3, info), ZipResult::kOk);
    EXPECT_EQ(zip->ExtractItem(3, info.name), ZipResult::kCannotOpen);
    EXPECT_EQ(zip->ExtractItem(3, std::string(room + 1, 'k')), ZipResult::kCannotOpen);
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{std::string(room, 'k')}));
}

TEST_F(ZipArchiveTest, DamagedItemsFailAloneAndLeaveTheArchiveUsable) {
    TestZipItem encrypted = TestZipItem::File("secret", "hidden");
    encrypted.encryptedFlag = true;
    TestZipItem garbage = TestZipItem::File("garbage", "content");
    garbage.rawData = std::string(64, '\xff');  // an invalid deflate block type
    TestZipItem cut = TestZipItem::File("cut", std::string(50000, 'q') + std::string(50000, 'r'));
    cut.rawData = nb::test::RawDeflate(cut.content).substr(0, 40);
    TestZipItem badCrc = TestZipItem::File("badcrc", "checksummed");
    badCrc.crc = 0x12345678;
    auto zip = Make({encrypted, garbage, cut, badCrc, TestZipItem::File("good", "fine")});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip),
              (std::vector<ZipResult>{ZipResult::kPassword, ZipResult::kDataError, ZipResult::kDataError,
                                      ZipResult::kDataError, ZipResult::kOk}));
    EXPECT_FALSE(nb::test::Exists(m_root + "secret"));
    EXPECT_EQ(nb::test::ReadFile(m_root + "good"), "fine");
    EXPECT_EQ(zip->ExtractItem(4, "again"), ZipResult::kOk);
    EXPECT_EQ(nb::test::ReadFile(m_root + "again"), "fine");
}

TEST_F(ZipArchiveTest, InconsistentLocalHeaderIsReported) {
    auto zip = Make({TestZipItem::File("one", "1"), TestZipItem::File("two", "2")});
    zip.reset();
    std::string bytes = nb::test::ReadFile(m_dir.File("test.zip"));
    const size_t second = bytes.find("PK\x03\x04", 4);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 2] = 0;  // no longer a local header signature
    nb::test::WriteFile(m_dir.File("test.zip"), bytes);
    zip = ZipArchive::Open(m_dir.File("test.zip"));
    ASSERT_TRUE(zip);
    ZipItemInfo info;
    EXPECT_EQ(zip->GetItemInfo(1, info), ZipResult::kBadLocalHeader);
    EXPECT_EQ(zip->ExtractItem(1, "two"), ZipResult::kBadLocalHeader);
    EXPECT_EQ(zip->ExtractItem(0, "one"), ZipResult::kOk);
    EXPECT_FALSE(nb::test::Exists(m_root + "two"));
}

TEST_F(ZipArchiveTest, ItemsSharingStoredDataAreRefused) {
    // Two directory entries over one local header and its data: extracting both would
    // write the data twice, the way overlapping-entry bombs multiply a small archive.
    auto zip = ZipArchive::Open(nb::test::DataPath("malicious/overlapping-entries.zip"));
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), (std::vector<ZipResult>{ZipResult::kOk, ZipResult::kOk, ZipResult::kBadLocalHeader}));
    EXPECT_EQ(nb::test::ReadFile(m_root + "aaaa.bin"), std::string(65536, 'A'));
    EXPECT_FALSE(nb::test::Exists(m_root + "bbbb.bin"));
    // Asked again, in any order, each item keeps its own answer.
    ZipItemInfo info;
    EXPECT_EQ(zip->GetItemInfo(1, info), ZipResult::kOk);
    EXPECT_EQ(zip->GetItemInfo(2, info), ZipResult::kBadLocalHeader);
    EXPECT_EQ(zip->GetItemInfo(0, info), ZipResult::kOk);
    EXPECT_EQ(zip->ExtractItem(1, "again.bin"), ZipResult::kOk);
}

TEST_F(ZipArchiveTest, WhatIsNotAnArchiveDoesNotOpen) {
    EXPECT_FALSE(ZipArchive::Open(m_dir.File("missing.zip")));
    EXPECT_FALSE(ZipArchive::Open(m_dir.Path()));
    nb::test::WriteFile(m_dir.File("text.zip"), "this is not a zip archive at all\n");
    EXPECT_FALSE(ZipArchive::Open(m_dir.File("text.zip")));
    nb::test::WriteFile(m_dir.File("nothing.zip"), "");
    EXPECT_FALSE(ZipArchive::Open(m_dir.File("nothing.zip")));

    ASSERT_TRUE(nb::test::WriteTestZip(
        m_dir.File("full.zip"),
        {TestZipItem::File("a", std::string(5000, 'a')), TestZipItem::File("b", "b")}));
    const std::string bytes = nb::test::ReadFile(m_dir.File("full.zip"));
    nb::test::WriteFile(m_dir.File("truncated.zip"), bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(ZipArchive::Open(m_dir.File("truncated.zip")));
    nb::test::WriteFile(m_dir.File("tailless.zip"), bytes.substr(0, bytes.size() - 10));
    EXPECT_FALSE(ZipArchive::Open(m_dir.File("tailless.zip")));

    ASSERT_TRUE(nb::test::WriteTestZip(m_dir.File("empty.zip"), {}));
    auto empty = ZipArchive::Open(m_dir.File("empty.zip"));
    ASSERT_TRUE(empty);
    ZipItemInfo info;
    ASSERT_EQ(empty->GetItemInfo(-1, info), ZipResult::kOk);
    EXPECT_EQ(info.index, 0);
    EXPECT_EQ(empty->GetItemInfo(0, info), ZipResult::kBadArgument);
    EXPECT_EQ(empty->ExtractItem(0, "x"), ZipResult::kBadArgument);
}

TEST_F(ZipArchiveTest, ThingsInTheWayFailTheItemWithoutHarm) {
    fs::create_directories(m_root + "taken/by/folder");
    nb::test::WriteFile(m_root + "file", "a file where a folder should be");
    auto zip = Make({TestZipItem::File("taken/by/folder", "x"), TestZipItem::File("file/inside", "y")});
    ASSERT_TRUE(zip);
    EXPECT_EQ(ExtractAll(*zip), std::vector<ZipResult>(2, ZipResult::kCannotOpen));
    EXPECT_TRUE(nb::platform::IsFolder(m_root + "taken/by/folder"));
    EXPECT_EQ(nb::test::ReadFile(m_root + "file"), "a file where a folder should be");
}

TEST_F(ZipArchiveTest, ArchivesFromOtherToolsExtract) {
    // Made by Info-ZIP's zip on a Unix host and by a Windows tool (DOS attributes,
    // backslash names); see tests/data/zip/README.
    auto unixZip = ZipArchive::Open(nb::test::DataPath("zip/infozip-unix.zip"));
    ASSERT_TRUE(unixZip);
    EXPECT_EQ(ExtractAll(*unixZip), std::vector<ZipResult>(4, ZipResult::kOk));
    EXPECT_EQ(nb::test::ReadFile(m_root + "bin/run.sh"), "#!/bin/sh\necho run\n");
    EXPECT_EQ(nb::test::ReadFile(m_root + "data/readme.txt"), "hello\n");

    auto dosZip = ZipArchive::Open(nb::test::DataPath("zip/dos-backslash.zip"));
    ASSERT_TRUE(dosZip);
    EXPECT_EQ(ExtractAll(*dosZip), std::vector<ZipResult>(3, ZipResult::kOk));
    EXPECT_EQ(nb::test::ReadFile(m_root + "sub/dir/a.txt"), "a\r\n");
    uint32_t mode = 0;
    ASSERT_TRUE(nb::platform::GetFileMode(m_root + "sub/dir/ro.txt", mode));
    EXPECT_EQ(mode, 0444u);
}

TEST_F(ZipArchiveTest, Zip64RecordsPrefixesAndOtherSourcesAreRead) {
    // Every directory record of this one keeps its sizes and offset in a ZIP64 block.
    auto zip64 = ZipArchive::Open(nb::test::DataPath("zip/python-zip64.zip"));
    ASSERT_TRUE(zip64);
    EXPECT_EQ(ExtractAll(*zip64), std::vector<ZipResult>(3, ZipResult::kOk));
    std::string first;
    for (int i = 0; i < 1000; ++i) first += "first\n";
    EXPECT_EQ(nb::test::ReadFile(m_root + "big/first.txt"), first);
    EXPECT_EQ(nb::test::ReadFile(m_root + "big/tool"), "#!/bin/sh\necho tool\n");
    ZipItemInfo info;
    ASSERT_EQ(zip64->GetItemInfo(1, info), ZipResult::kOk);
    EXPECT_EQ(info.size, 6000u);

    // Sizes in the local header's ZIP64 block only, as a packer reading a pipe writes them.
    auto piped = ZipArchive::Open(nb::test::DataPath("zip/infozip-zip64.zip"));
    ASSERT_TRUE(piped);
    ASSERT_EQ(piped->GetItemInfo(0, info), ZipResult::kOk);
    EXPECT_EQ(info.name, "-");
    EXPECT_EQ(piped->ExtractItem(0, "piped.txt"), ZipResult::kOk);
    std::string lines;
    for (int i = 1; i <= 2000; ++i) lines += std::to_string(i) + " streamed through a pipe\n";
    EXPECT_EQ(nb::test::ReadFile(m_root + "piped.txt"), lines);

    // An end record that leaves every value to the ZIP64 end record, as large archives
    // have it; and a program in front of the archive (a self-extractor).
    std::string bytes = nb::test::ReadFile(nb::test::DataPath("zip/python-zip64.zip"));
    const size_t end = bytes.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    for (size_t i = end + 8; i < end + 20; ++i) bytes[i] = '\xff';
    auto source = std::make_unique<MemorySource>(std::string(5000, 'M') + bytes);
    auto prefixed = ZipArchive::Open(std::move(source));
    ASSERT_TRUE(prefixed);
    ASSERT_EQ(prefixed->GetItemInfo(-1, info), ZipResult::kOk);
    EXPECT_EQ(info.index, 3);
    EXPECT_EQ(prefixed->ExtractItem(2, "prefixed-tool"), ZipResult::kOk);
    EXPECT_EQ(nb::test::ReadFile(m_root + "prefixed-tool"), "#!/bin/sh\necho tool\n");
}

TEST_F(ZipArchiveTest, EncryptedItemsOpenOnlyWithTheirPassword) {
    // Traditional encryption as Info-ZIP writes it; see tests/data/malicious.
    const std::string fixture = nb::test::DataPath("malicious/encrypted-item.zip");
    auto right = ZipArchive::Open(fixture, "password");
    ASSERT_TRUE(right);
    EXPECT_EQ(ExtractAll(*right), std::vector<ZipResult>(2, ZipResult::kOk));
    EXPECT_EQ(nb::test::ReadFile(m_root + "secret.txt"), "secret data\n");

    nb::test::WriteFile(m_root + "secret.txt", "kept");
    for (const char* password : {"wrong", static_cast<const char*>(nullptr)}) {
        auto zip = ZipArchive::Open(fixture, password);
        ASSERT_TRUE(zip);
        EXPECT_EQ(zip->ExtractItem(1, "secret.txt"), ZipResult::kPassword);
        EXPECT_EQ(nb::test::ReadFile(m_root + "secret.txt"), "kept");
    }
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"ncheck_v.txt", "secret.txt"}));
}

