// The stand-in web host and account service, run as the built program on an ephemeral
// loopback port and driven with libcurl.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "StandinProcess.h"
#include "TestPaths.h"

namespace {

using nb::test::ScopedTempDir;
using nb::test::WriteFile;

// md5hex(md5hex(password) + "rq4@8"), worked out independently with md5sum.
constexpr const char* kSecretDigest = "1e17674f5ef3da2adcd4d725e67de0e3";       // "secret"
constexpr const char* kUpperSecretDigest = "af3936195561dbfd8e3f63a7166d6c8f";  // "Secret"
constexpr const char* kGbkPasswordDigest = "a2f3f70e97eebeab05ccc0212e14f5c4";  // GBK bytes of "密码"
// "玩家" as GBK bytes, percent-encoded as the launcher sends it, and raw.
constexpr const char* kGbkNameEncoded = "%CD%E6%BC%D2";
constexpr const char* kGbkName = "\xCD\xE6\xBC\xD2";

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;
    std::string body;

    std::string Header(const std::string& name) const {
        std::regex line("(^|\r\n)" + name + ": ([^\r\n]*)\r\n", std::regex::icase);
        std::smatch m;
        return std::regex_search(headers, m, line) ? m[2].str() : std::string();
    }
};

size_t Append(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

int AbortWhenSet(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

// `abort`, when given, ends the transfer from the client's side once it is set.
Reply Get(const std::string& url, const std::vector<std::string>& headers = {}, bool pathAsIs = false,
          std::atomic<bool>* abort = nullptr) {
    Reply reply;
    CURL* curl = curl_easy_init();
    curl_slist* list = nullptr;
    for (const auto& h : headers) list = curl_slist_append(list, h.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, pathAsIs ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (abort) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AbortWhenSet);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, abort);
    }
    reply.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return reply;
}

// The reply document's child elements by name.
std::map<std::string, std::string> Elements(const std::string& xml) {
    std::map<std::string, std::string> values;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.c_str(), xml.size()) != tinyxml2::XML_SUCCESS || !doc.RootElement()) return values;
    for (auto* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
        values[e->Name()] = e->GetText() ? e->GetText() : "";
    }
    return values;
}

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
}

class StandinTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        args.insert(args.begin(), {"--root", m_dir.File("site")});
        m_standin = std::make_unique<nb::test::StandinProcess>(args, m_dir.File("requests.log"));
        ASSERT_TRUE(m_standin->Running());
    }
    // SIGTERM must end it with status 0.
    void TearDown() override {
        if (m_standin) {
            EXPECT_EQ(m_standin->Stop(), 0);
        }
    }
    void SetUp() override {
        std::filesystem::create_directories(m_dir.File("site/download"));
        m_file = Pattern(1000);
        WriteFile(m_dir.File("site/a.bin"), m_file);
        WriteFile(m_dir.File("site/download/index.html"), "<html>download</html>");
    }
    std::string Url(const std::string& target) const { return m_standin->Url(target); }
    Reply Control(const std::string& target) { return Get(Url("/_standin/" + target)); }
    std::string Log() const { return nb::test::ReadFile(m_dir.File("requests.log")); }
    // Polls the server's counters until they show `line` (bounded, so a fault fails the test
    // instead of hanging it).
    bool WaitForStatus(const std::string& line) {
        for (int i = 0; i < 3000; ++i) {
            if (Control("status").body.find(line + "\n") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    ScopedTempDir m_dir;
    std::string m_file;
    std::unique_ptr<nb::test::StandinProcess> m_standin;
};

// ---- web host ----

TEST_F(StandinTest, AnswersRangesWith206AndStartsPastTheEndWith416) {
    Start({});
    Reply whole = Get(Url("/a.bin"));
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, m_file);
    EXPECT_EQ(whole.Header("Content-Length"), "1000");
    EXPECT_EQ(whole.Header("Accept-Ranges"), "bytes");

    struct Case {
        const char* range;
        long status;
        const char* contentRange;
        size_t first, count;
    } cases[] = {
        {"bytes=100-", 206, "bytes 100-999/1000", 100, 900},
        {"bytes=10-19", 206, "bytes 10-19/1000", 10, 10},
        {"bytes=999-", 206, "bytes 999-999/1000", 999, 1},
        {"bytes=990-5000", 206, "bytes 990-999/1000", 990, 10},
        {"bytes=-5", 206, "bytes 995-999/1000", 995, 5},
        {"bytes=1000-", 416, "bytes */1000", 0, 0},
        {"bytes=52000-", 416, "bytes */1000", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        Reply r = Get(Url("/a.bin"), {std::string("Range: ") + c.range});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.Header("Content-Range"), c.contentRange);
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(c.count));
        EXPECT_EQ(r.body, m_file.substr(c.first, c.count));
    }

    Reply folder = Get(Url("/download"));
    EXPECT_EQ(folder.status, 200);
    EXPECT_EQ(folder.body, "<html>download</html>");
    EXPECT_EQ(Get(Url("/missing.xml")).status, 404);
}

TEST_F(StandinTest, NeverServesFilesOutsideTheRoot) {
    WriteFile(m_dir.File("secret.txt"), "outside");
    Start({});
    for (const char* target : {"/../secret.txt", "/%2e%2e/secret.txt", "/download/../../secret.txt"}) {
        SCOPED_TRACE(target);
        Reply r = Get(Url(target), {}, true);
        EXPECT_EQ(r.status, 404);
        EXPECT_EQ(r.body.find("outside"), std::string::npos);
    }
}

TEST_F(StandinTest, IgnoresRangesWhenToldOnTheCommandLineOrLater) {
    Start({"--ignore-range"});
    Reply r = Get(Url("/a.bin"), {"Range: bytes=100-"});
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Range"), "");
    EXPECT_EQ(r.body, m_file);

    EXPECT_EQ(Control("fault?ignore_range=0").status, 200);
    r = Get(Url("/a.bin"), {"Range: bytes=100-"});
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body, m_file.substr(100));
}

TEST_F(StandinTest, CutsTheConnectionAfterNBytesForAsManyResponsesAsAsked) {
    Start({});
    EXPECT_EQ(Control("fault?cut_after=300&times=1").status, 200);
    Reply cut = Get(Url("/a.bin"));
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.Header("Content-Length"), "1000");
    EXPECT_EQ(cut.body, m_file.substr(0, 300));

    // The fault was for one response only: resuming now gets the rest.
    Reply rest = Get(Url("/a.bin"), {"Range: bytes=300-"});
    EXPECT_EQ(rest.code, CURLE_OK);
    EXPECT_EQ(cut.body + rest.body, m_file);

    // A prefix keeps the fault away from other paths.
    EXPECT_EQ(Control("fault?cut_after=0&prefix=/download/").status, 200);
    EXPECT_EQ(Get(Url("/a.bin")).body, m_file);
    Reply none = Get(Url("/download/index.html"));
    EXPECT_EQ(none.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(none.body, "");
}

TEST_F(StandinTest, AnswersAFixedStatusForAPath) {
    Start({"--status", "/a.bin=500"});
    EXPECT_EQ(Get(Url("/a.bin")).status, 500);
    EXPECT_EQ(Get(Url("/download/index.html")).status, 200);

    EXPECT_EQ(Control("fault?status=503&path=/interface/vcode.php").status, 200);
    Reply picture = Get(Url("/interface/vcode.php"));
    EXPECT_EQ(picture.status, 503);
    EXPECT_EQ(picture.Header("Set-Cookie"), "");

    EXPECT_EQ(Control("fault?status=0&path=/a.bin").status, 200);
    EXPECT_EQ(Get(Url("/a.bin")).status, 200);
    EXPECT_EQ(Control("fault?status=abc&path=/a.bin").status, 400);
}

TEST_F(StandinTest, StalledBodyGoesOnWhenTheFaultsChangeAndPacedBodyArrivesWhole) {
    Start({"--stall-after", "200"});
    Reply stalled;
    std::thread client([&] { stalled = Get(Url("/a.bin")); });
    EXPECT_TRUE(WaitForStatus("stalled=1"));
    EXPECT_EQ(Control("fault?reset").status, 200);
    client.join();
    EXPECT_EQ(stalled.code, CURLE_OK);
    EXPECT_EQ(stalled.body, m_file);

    EXPECT_EQ(Control("fault?rate=20000").status, 200);
    Reply paced = Get(Url("/a.bin"), {"Range: bytes=1-"});
    EXPECT_EQ(paced.status, 206);
    EXPECT_EQ(paced.body, m_file.substr(1));
}

TEST_F(StandinTest, StallOfAClientThatGaveUpEnds) {
    Start({"--stall-after", "0"});
    std::atomic<bool> giveUp{false};
    std::thread client(
        [&] { EXPECT_EQ(Get(Url("/a.bin"), {}, false, &giveUp).code, CURLE_ABORTED_BY_CALLBACK); });
    EXPECT_TRUE(WaitForStatus("stalled=1"));
    giveUp = true;
    client.join();
    // The server lets go of the body without any change of the faults.
    EXPECT_TRUE(WaitForStatus("stalled=0"));
}

TEST_F(StandinTest, LogsEveryRequestHeadByteForByte) {
    Start({});
    Get(Url("/a.bin?x=1&y=%41"),
        {"Accept: */*", "User-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)",
         "Range: bytes=52000-"});
    Control("status");  // control requests stay out of the log
    Get(Url("/interface/vcode.php"));

    std::string log = Log();
    const std::string first = "GET /a.bin?x=1&y=%41 HTTP/1.1\r\n";
    ASSERT_EQ(log.rfind(first, 0), 0u) << log;
    size_t end = log.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    std::string head = log.substr(0, end + 4);
    // The two blanks after the colon and the header order survive.
    size_t ua = head.find("\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n");
    size_t range = head.find("\r\nRange: bytes=52000-\r\n");
    EXPECT_NE(ua, std::string::npos) << head;
    EXPECT_NE(range, std::string::npos);
    EXPECT_LT(ua, range);
    EXPECT_EQ(log.substr(end + 4).rfind("GET /interface/vcode.php HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(log.find("_standin"), std::string::npos);
}

// ---- account service ----

class StandinAccountTest : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        std::filesystem::create_directories(m_dir.File("site/norbel_xml"));
        // UTF-8 name and password for the second account; the service matches their GBK form.
        WriteFile(m_dir.File("accounts.txt"),
                  "# name password flags\r\n"
                  "Alice secret id=4242\r\n"
                  "\xE7\x8E\xA9\xE5\xAE\xB6 \xE5\xAF\x86\xE7\xA0\x81\r\n"
                  "carol secret locked\r\n"
                  "dave secret\r\n");
        WriteFile(
            m_dir.File("site/norbel_xml/zonelist.xml"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<zonelist>\n"
            "<gameVerInfo build_code=\"1\" version=\"1.0\"/>\n<update_url>http://x/</update_url>\n"
            "<bigzone name=\"z\"><server id=\"1\" name=\"a\" state=\"0\" server_tag=\"0\" fetch_url=\"h\"/>"
            "<server id=\"12\" name=\"b\" state=\"0\" server_tag=\"2\" fetch_url=\"h\"/></bigzone>\n"
            "</zonelist>\n");
    }
    void StartService(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--accounts", m_dir.File("accounts.txt")});
        Start(args);
    }
    std::map<std::string, std::string> Login(const std::string& query) {
        return Elements(Get(Url("/interface/login.php?" + query)).body);
    }
    std::string LoginError(const std::string& query) {
        auto reply = Login(query);
        EXPECT_EQ(reply["result"], "0") << query;
        return reply["error"];
    }
    static std::string Plain(const std::string& user, const std::string& digest, int server = 1) {
        return "u=" + user + "&p=" + digest + "&g=rk&t=xml&s=" + std::to_string(server);
    }
    static std::string WithCode(const std::string& user, const std::string& digest, const std::string& code,
                                const std::string& session) {
        return "u=" + user + "&p=" + digest + "&g=rk&t=xml&c=" + code + "&p2=" + session + "&s=12";
    }
    // A picture session and its code.
    std::pair<std::string, std::string> Picture() {
        Reply r = Get(Url("/interface/vcode.php"));
        std::smatch m;
        std::string cookie = r.Header("Set-Cookie");
        if (!std::regex_match(cookie, m, std::regex("PHPSESSID=([a-v0-9]{26}); path=/"))) return {};
        return {m[1].str(), Control("code?p=" + m[1].str()).body};
    }
};

TEST_F(StandinAccountTest, SuccessfulLoginFillsEveryReplyField) {
    StartService();
    auto reply = Login(Plain("alice", kSecretDigest, 12));
    EXPECT_EQ(reply["result"], "1");
    EXPECT_EQ(reply["userid"], "4242");
    EXPECT_EQ(reply["login"], "alice");
    EXPECT_EQ(reply["coopid"], "0");
    EXPECT_EQ(reply["addiction"], "0");
    EXPECT_TRUE(std::regex_match(reply["login_date"], std::regex("[0-9]+")));
    EXPECT_TRUE(std::regex_match(reply["key"], std::regex("[0-9a-f]{32}")));
    EXPECT_TRUE(std::regex_match(reply["auth"], std::regex("[0-9a-f]{32}")));
    EXPECT_EQ(reply.count("error"), 0u);

    // A name typed in upper case matches too; the digest is over the bytes as typed, so the
    // password's case matters.
    EXPECT_EQ(Login(Plain("ALICE", kSecretDigest))["result"], "1");
    EXPECT_EQ(LoginError(Plain("alice", kUpperSecretDigest)), "1008");

    // Name and password written in UTF-8 in the file are matched through their GBK bytes.
    auto gbk = Login(Plain(kGbkNameEncoded, kGbkPasswordDigest));
    EXPECT_EQ(gbk["result"], "1");
    EXPECT_EQ(gbk["login"], kGbkName);
}

TEST_F(StandinAccountTest, EveryErrorCodeIsReachable) {
    StartService();
    const std::string d = kSecretDigest;
    EXPECT_EQ(LoginError("u=&p=" + d + "&g=rk&t=xml&s=1"), "1001");
    EXPECT_EQ(LoginError("p=" + d + "&g=rk&t=xml&s=1"), "1001");
    EXPECT_EQ(LoginError("u=alice&p=&g=rk&t=xml&s=1"), "1002");
    EXPECT_EQ(LoginError("u=alice&p=" + d + "&t=xml&s=1"), "1003");
    EXPECT_EQ(LoginError("u=alice&p=" + d + "&g=xx&t=xml&s=1"), "1003");
    EXPECT_EQ(LoginError("u=alice&p=" + d + "&g=rk&t=xml"), "1004");
    EXPECT_EQ(LoginError(Plain("alice", d, 7)), "9999");  // not in the zone list
    EXPECT_EQ(LoginError(Plain("nobody", d)), "1006");
    EXPECT_EQ(LoginError(Plain("alice", std::string(32, '0'))), "1008");
    EXPECT_EQ(LoginError(Plain("carol", d)), "1009");
    EXPECT_EQ(LoginError(Plain("carol", std::string(32, '0'))), "1008");  // locked, but wrong password first

    // Three failures of one name: its next plain login is refused until it brings a code.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(LoginError(Plain("dave", std::string(32, '1'))), "1008");
    EXPECT_EQ(LoginError(Plain("dave", d)), "1010");
    EXPECT_EQ(Login(Plain("alice", d))["result"], "1");  // other names are not affected

    auto [session, code] = Picture();
    ASSERT_FALSE(session.empty());
    EXPECT_EQ(LoginError(WithCode("dave", d, "", session)), "1101");
    EXPECT_EQ(LoginError("u=dave&p=" + d + "&g=rk&t=xml&c=" + code + "&s=12"), "1102");
    EXPECT_EQ(LoginError(WithCode("dave", d, code, "nosuchsession")), "1102");
    std::string wrong = code == "0000" ? "1111" : "0000";
    EXPECT_EQ(LoginError(WithCode("dave", d, wrong, session)), "1103");
    // A code serves one login attempt only.
    EXPECT_EQ(LoginError(WithCode("dave", d, code, session)), "1103");
    auto fresh = Picture();
    EXPECT_EQ(Login(WithCode("dave", d, fresh.second, fresh.first))["result"], "1");
    EXPECT_EQ(Login(Plain("dave", d))["result"], "1");  // success cleared the demand

    EXPECT_EQ(Control("account?force_error=1005").status, 200);
    EXPECT_EQ(LoginError(Plain("alice", d)), "1005");
    EXPECT_EQ(Control("account?force_error=0&servers=3,4").status, 200);
    EXPECT_EQ(LoginError(Plain("alice", d, 12)), "9999");
    EXPECT_EQ(Login(Plain("alice", d, 4))["result"], "1");
}

TEST_F(StandinAccountTest, PictureSessionAndCodeCheck) {
    StartService();
    Reply r = Get(Url("/interface/vcode.php"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "image/png");
    std::smatch m;
    std::string cookie = r.Header("Set-Cookie");
    ASSERT_TRUE(std::regex_match(cookie, m, std::regex("PHPSESSID=([a-v0-9]{26}); path=/"))) << cookie;
    const std::string session = m[1].str();

    // A real PNG of 68 x 28 RGBA pixels whose image data inflates to the full size.
    const std::string& png = r.body;
    ASSERT_GT(png.size(), 57u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x44\0\0\0\x1C", 8));
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 6);
    size_t idat = png.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    uint32_t idatLength = (uint8_t(png[idat - 4]) << 24) | (uint8_t(png[idat - 3]) << 16) |
                          (uint8_t(png[idat - 2]) << 8) | uint8_t(png[idat - 1]);
    std::vector<Bytef> pixels((68 * 4 + 1) * 28 + 16);
    uLongf pixelsSize = pixels.size();
    EXPECT_EQ(uncompress(pixels.data(), &pixelsSize, reinterpret_cast<const Bytef*>(png.data() + idat + 4),
                         idatLength),
              Z_OK);
    EXPECT_EQ(pixelsSize, (68u * 4 + 1) * 28);

    std::string code = Control("code?p=" + session).body;
    EXPECT_TRUE(std::regex_match(code, std::regex("[0-9]{4}"))) << code;
    EXPECT_EQ(Control("code?p=unknown").status, 404);
    EXPECT_EQ(Control("code?latest").body, code);

    auto check = [&](const std::string& query) {
        return Elements(Get(Url("/interface/check_code.php?" + query)).body);
    };
    EXPECT_EQ(check("c=&p=" + session)["error"], "1101");
    EXPECT_EQ(check("c=" + code)["error"], "1102");
    EXPECT_EQ(check("c=" + code + "&p=unknown")["error"], "1102");
    auto good = check("c=" + code + "&p=" + session);
    EXPECT_EQ(good["result"], "1");
    EXPECT_EQ(good.count("error"), 0u);
    // The check leaves the code valid for the login that follows it.
    EXPECT_EQ(Login(WithCode("alice", kSecretDigest, code, session))["result"], "1");

    // A picture asked for with the session cookie keeps the session and replaces its code.
    Reply again = Get(Url("/interface/vcode.php"), {"Cookie: PHPSESSID=" + session});
    EXPECT_EQ(again.Header("Set-Cookie"), "PHPSESSID=" + session + "; path=/");
    std::string second = Control("code?p=" + session).body;
    EXPECT_EQ(Control("code?latest").body, second);
    std::string wrong = second == "0000" ? "1111" : "0000";
    auto bad = check("c=" + wrong + "&p=" + session);
    EXPECT_EQ(bad["result"], "0");
    EXPECT_EQ(bad["error"], "1103");
    // After a wrong try the picture's code is used up.
    EXPECT_EQ(check("c=" + second + "&p=" + session)["error"], "1103");
    EXPECT_EQ(Control("code?latest").status, 404);
}

TEST_F(StandinAccountTest, AlwaysCodeDemandsACodeOnEveryLogin) {
    StartService({"--always-code"});
    EXPECT_EQ(LoginError(Plain("alice", kSecretDigest)), "1010");
    auto [session, code] = Picture();
    ASSERT_FALSE(session.empty());
    EXPECT_EQ(Elements(Get(Url("/interface/check_code.php?c=" + code + "&p=" + session)).body)["result"],
              "1");
    EXPECT_EQ(Login(WithCode("alice", kSecretDigest, code, session))["result"], "1");
    EXPECT_EQ(LoginError(Plain("alice", kSecretDigest)), "1010");

    EXPECT_EQ(Control("account?always_code=0").status, 200);
    EXPECT_EQ(Login(Plain("alice", kSecretDigest))["result"], "1");
}

// ---- the program ----

TEST(StandinProgram, HelpNamesEveryOptionAndBadOptionsAreRefused) {
    ScopedTempDir dir;
    std::string help = dir.File("help.txt");
    std::string exe = nb::test::BuildPath("nb-standin");
    ASSERT_EQ(std::system((exe + " --help > " + help).c_str()), 0);
    std::string text = nb::test::ReadFile(help);
    for (const char* option :
         {"--root", "--port", "--log", "--accounts", "--servers", "--always-code", "--code-after",
          "--force-error", "--ignore-range", "--cut-after", "--reset-cut", "--stall-after", "--rate", "--fault-path",
          "--fault-times", "--status", "--verbose", "--help"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
    EXPECT_NE(std::system((exe + " --port 70000 2> " + dir.File("err.txt")).c_str()), 0);
    EXPECT_NE(std::system((exe + " --bogus 2> " + dir.File("err.txt")).c_str()), 0);
    EXPECT_NE(
        std::system(
            (exe + " --port 0 --accounts " + dir.File("none.txt") + " 2> " + dir.File("err.txt")).c_str()),
        0);
}

}  // namespace
