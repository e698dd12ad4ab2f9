// The resumable download against the stand-in's fault switches, a separate server process
// as the launcher meets it: cut connections, ignored ranges, stalls, 416 and error
// statuses. Whatever happens, the final file is the published one, byte for byte, and no
// byte ever reaches the temporary file twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "StandinProcess.h"
#include "TestPaths.h"
#include "UpdateTestKit.h"
#include "app/LauncherContext.h"
#include "platform/HttpTransfer.h"
#include "update/Download.h"

namespace fs = std::filesystem;
using nb::test::StandinProcess;

namespace {

constexpr size_t kSize = 1 << 20;

// Every byte depends on its position, so a repeated or shifted block shows.
std::string Published() {
    std::string s(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) s[i] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    return s;
}

class FaultDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir.File("site/patches"));
        nb::test::WriteFile(m_dir.File("site/patches/NBRK2.nbupd"), Published());
        nb::test::NumberMessages(m_ctx);
        nb::SetTheContext(&m_ctx);
    }
    void TearDown() override {
        nb::SetDownloadRetryPauses({});
        nb::platform::SetHttpLimits(0, 0);
        nb::SetTheContext(nullptr);
    }

    void Start(std::vector<std::string> faults) {
        faults.insert(faults.begin(), {"--root", m_dir.File("site")});
        m_standin = std::make_unique<StandinProcess>(faults, m_dir.File("requests.log"));
        ASSERT_TRUE(m_standin->Running());
    }

    bool Download() {
        return nb::DownloadUrlToFile(m_standin->Url("/patches/NBRK2.nbupd"), "NBRK2.nbupd", false);
    }
    std::string Temp() const { return nb::test::ReadFile("NBRK2.nbupd.dlhalf!"); }

    // The Range offset of request n, -1 when it asked for the whole file.
    long RangeOf(size_t n) const {
        const auto heads = m_standin->Requests();
        if (n >= heads.size()) return -2;
        std::smatch m;
        return std::regex_search(heads[n], m, std::regex("\r\nRange: bytes=(\\d+)-\r\n")) ? std::stol(m[1])
                                                                                          : -1;
    }

    nb::test::ScopedTempDir m_dir;
    nb::test::ScopedChdir m_cd{m_dir.Path()};
    nb::test::RecordingUi m_ui;
    nb::LauncherContext m_ctx;
    std::unique_ptr<StandinProcess> m_standin;
};

}  // namespace

TEST_F(FaultDownloadTest, EveryCutIsResumedFromTheBytesKeptUntilTheFileIsWhole) {
    Start({"--cut-after", "300000"});
    const std::string published = Published();
    size_t attempts = 0;
    while (!Download()) {
        ++attempts;
        ASSERT_LE(attempts, 3u);
        // A cut keeps exactly what arrived, and that is the start of the published file.
        const std::string kept = Temp();
        EXPECT_EQ(kept.size(), attempts * 300000);
        EXPECT_EQ(kept, published.substr(0, kept.size()));
        EXPECT_FALSE(nb::test::Exists("NBRK2.nbupd"));
    }
    EXPECT_EQ(attempts, 3u);
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), published);
    EXPECT_FALSE(nb::test::Exists("NBRK2.nbupd.dlhalf!"));
    EXPECT_EQ(RangeOf(0), -1);
    EXPECT_EQ(RangeOf(1), 300000);
    EXPECT_EQ(RangeOf(2), 600000);
    EXPECT_EQ(RangeOf(3), 900000);
    EXPECT_EQ(m_ctx.m_fDownDone.load(), static_cast<float>(kSize));
    EXPECT_TRUE(m_ui.Shown().empty());  // a broken connection shows nothing here
}

TEST_F(FaultDownloadTest, EachServerMisbehaviourEndsAsTheDownloadRulesSay) {
    const std::string published = Published();
    Start({"--stall-after", "200000"});
    nb::platform::SetHttpLimits(0, 1);

    // A stall ends the attempt; what arrived before it stays.
    EXPECT_FALSE(Download());
    EXPECT_EQ(Temp(), published.substr(0, 200000));
    // The rest must not end early on a slow machine.
    nb::platform::SetHttpLimits(0, 0);

    // An error status leaves the temporary file as it was.
    ASSERT_TRUE(m_standin->Control("/_standin/fault?reset&status=500&path=/patches/NBRK2.nbupd"));
    EXPECT_FALSE(Download());
    EXPECT_EQ(Temp(), published.substr(0, 200000));

    // A server that ignores the Range sends the whole file: it is taken from byte 0.
    ASSERT_TRUE(m_standin->Control("/_standin/fault?reset&ignore_range=1"));
    EXPECT_TRUE(Download());
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), published);
    EXPECT_EQ(RangeOf(2), 200000);

    // A temporary file that already holds everything: 416 naming its length completes it.
    fs::rename("NBRK2.nbupd", "NBRK2.nbupd.dlhalf!");
    ASSERT_TRUE(m_standin->Control("/_standin/fault?reset"));
    EXPECT_TRUE(Download());
    EXPECT_EQ(RangeOf(3), static_cast<long>(kSize));
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), published);
    EXPECT_FALSE(nb::test::Exists("NBRK2.nbupd.dlhalf!"));
    EXPECT_EQ(m_standin->Requests().size(), 4u);
}

TEST_F(FaultDownloadTest, ResetsAndStallsAreResumedWithinOneCall) {
    const std::string published = Published();
    nb::SetDownloadRetryPauses({1, 1, 1, 1, 1});
    Start({"--cut-after", "300000", "--reset-cut", "--fault-times", "2"});
    const auto download = [this] {
        return nb::DownloadUrlToFile(m_standin->Url("/patches/NBRK2.nbupd"), "NBRK2.nbupd", false, nullptr,
                                     nb::DownloadRetries::kOnBreak);
    };

    // A reset may drop bytes still in flight, so a retry starts at most where the cut was.
    ASSERT_TRUE(download());
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), published);
    ASSERT_EQ(m_standin->Requests().size(), 3u);
    EXPECT_EQ(RangeOf(0), -1);
    EXPECT_GT(RangeOf(1), 0);
    EXPECT_LE(RangeOf(1), 300000);
    EXPECT_GT(RangeOf(2), RangeOf(1));
    EXPECT_LE(RangeOf(2), RangeOf(1) + 300000);

    // A stall past the limit is a break too; the retry takes the rest.
    ASSERT_TRUE(m_standin->Control("/_standin/fault?reset&stall_after=200000&times=1"));
    nb::platform::SetHttpLimits(0, 1);
    ASSERT_TRUE(download());
    EXPECT_EQ(nb::test::ReadFile("NBRK2.nbupd"), published);
    ASSERT_EQ(m_standin->Requests().size(), 5u);
    EXPECT_EQ(RangeOf(3), -1);
    EXPECT_EQ(RangeOf(4), 200000);
    EXPECT_TRUE(m_ui.Shown().empty());
}
