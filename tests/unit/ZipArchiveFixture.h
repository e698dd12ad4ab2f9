#pragma once
// The fixture of the archive reader's tests: archives written by the tests' own zip writer
// and extracted into a root deep inside a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestZip.h"
#include "update/ZipArchive.h"

namespace nb::test {

// Every file and folder under a folder, as relative paths.
inline std::set<std::string> Tree(const std::string& folder) {
    namespace fs = std::filesystem;
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::path(e.path()).lexically_relative(folder).generic_string());
    return names;
}

// The extraction root sits four levels down in the temporary folder, so that even a
// reader that let parent steps through would stay inside the temporary folder.
class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_dir.File("l1/l2/l3/root/");
        std::filesystem::create_directories(m_root);
        m_cd = std::make_unique<nb::test::ScopedChdir>(m_root);
    }

    std::unique_ptr<nb::ZipArchive> Make(const std::vector<TestZipItem>& items) {
        const std::string path = m_dir.File("test.zip");
        EXPECT_TRUE(nb::test::WriteTestZip(path, items));
        return nb::ZipArchive::Open(path);
    }

    // Extracts every item to its own sanitised name; the results in order.
    std::vector<nb::ZipResult> ExtractAll(nb::ZipArchive& zip) {
        std::vector<nb::ZipResult> results;
        nb::ZipItemInfo info;
        EXPECT_EQ(zip.GetItemInfo(-1, info), nb::ZipResult::kOk);
        for (int32_t i = 0; i < info.index; ++i) {
            nb::ZipItemInfo item;
            nb::ZipResult r = zip.GetItemInfo(i, item);
            results.push_back(r == nb::ZipResult::kOk ? zip.ExtractItem(i, item.name) : r);
        }
        return results;
    }

    nb::test::ScopedTempDir m_dir;
    std::string m_root;
    std::unique_ptr<nb::test::ScopedChdir> m_cd;
};

}  // namespace nb::test
