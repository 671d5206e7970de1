#include "platform/http.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TestService;

std::string text(std::span<const std::uint8_t> bytes, std::int64_t count)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
}

std::span<const std::uint8_t> bytesOf(std::string_view body)
{
    return {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()};
}

std::wstring wide(const std::string& narrow)
{
    return std::wstring(narrow.begin(), narrow.end());
}

platform::DownloadOptions expecting(std::uint64_t size)
{
    platform::DownloadOptions options;
    options.expectedSize = size;
    return options;
}

TEST(HttpHeaderBlock, KeepsTheServicesLayoutWithItsEmptyLine)
{
    EXPECT_EQ(platform::httpHeaderBlock(0),
              "Content-Length:0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
              "\r\nAccept:application/prs.Novik.v1+json\r\n");
    EXPECT_EQ(platform::httpHeaderBlock(37).substr(0, 19), "Content-Length:37\r\n");
}

TEST(HttpClientArguments, RefusedRequestsLeaveTheBufferAsItWas)
{
    platform::HttpClient client;
    std::array<std::uint8_t, 32> buffer;
    buffer.fill(0xAB);
    EXPECT_EQ(client.request(L"PUT", L"https://127.0.0.1:1/", {}, buffer,
                             platform::ProxyUse::Environment),
              -1);
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::BadMethod);
    EXPECT_EQ(client.request(L"post", L"", {}, buffer, platform::ProxyUse::Environment), -1);
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::EmptyUrl);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xAB; }));
    EXPECT_EQ(platform::normalizedHttpMethod(L"post"), "POST");
    EXPECT_EQ(platform::normalizedHttpMethod(L"Get"), "GET");
}

TEST(HttpClientArguments, UnreachableServerLeavesTheNoConnectionMarker)
{
    platform::HttpClient client;
    std::array<std::uint8_t, 64> buffer{};
    buffer.fill(0xAB);
    // Port 1 on the loopback: nothing listens there, the connection is refused at once.
    EXPECT_EQ(client.request(L"POST", L"https://127.0.0.1:1/api/updates", bytesOf("a=1"), buffer,
                             platform::ProxyUse::Environment),
              0);
    EXPECT_EQ(text(buffer, 15), std::string("NO_LINK_SERVER") + '\0');
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::CannotConnect);
}

// A test service with the test CA trusted, and no proxy from the machine's environment. The
// service is shared by the suite (starting python is the slow part); its log is emptied
// before each test.
class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::testServiceAvailable())
            return;
        s_folder = new testing_support::TempDir;
        s_service = new TestService({"https", "--certs", certificates().string(), "--log",
                                     (s_folder->path() / "requests.log").string()});
    }
    static void TearDownTestSuite()
    {
        delete s_service;
        delete s_folder;
        s_service = nullptr;
        s_folder = nullptr;
    }

    void SetUp() override
    {
        if (!s_service)
            GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
        ASSERT_NE(s_service->port(), 0) << "the test service did not start";
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            m_environment.emplace_back(std::make_unique<ScopedEnvironment>(name, std::nullopt));
        m_environment.emplace_back(std::make_unique<ScopedEnvironment>("no_proxy", ""));
        m_log = s_folder->path() / "requests.log";
        std::ofstream(m_log, std::ios::trunc).flush();
        m_service = s_service;
        m_client.settings().extraCaFile = certificates() / "ca.pem";
    }

    static std::filesystem::path certificates() { return testing_support::testCertificates(); }

    std::int64_t post(const std::string& path, std::string_view body)
    {
        return m_client.request(L"post", wide(m_service->url(path)), bytesOf(body), m_buffer,
                                platform::ProxyUse::Environment);
    }

    static inline testing_support::TempDir* s_folder = nullptr;
    static inline TestService* s_service = nullptr;
    std::vector<std::unique_ptr<ScopedEnvironment>> m_environment;
    testing_support::TempDir m_folder;
    std::filesystem::path m_log;
    TestService* m_service = nullptr;
    platform::HttpClient m_client;
    std::vector<std::uint8_t> m_buffer = std::vector<std::uint8_t>(102400, 0);
};

TEST_F(HttpClientTest, PostCarriesTheHeaderBlockAndTheBody)
{
    const std::int64_t count = post("/echo", "app_key=x");
    const std::string answer = text(m_buffer, count);
    EXPECT_EQ(answer.rfind("POST /echo HTTP/1.1\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("\r\nContent-Length: 9\r\n"), std::string::npos);
    EXPECT_NE(answer.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos);
    EXPECT_NE(answer.find("\r\nAccept: application/prs.Novik.v1+json\r\n"), std::string::npos);
    EXPECT_NE(answer.find("\r\nUser-Agent: WinHTTP Client/1.0\r\n"), std::string::npos);
    EXPECT_TRUE(answer.ends_with("\r\n\r\napp_key=x")) << answer;
}

TEST_F(HttpClientTest, EmptyBodyStillSendsContentLengthZero)
{
    const std::int64_t count = m_client.request(L"GET", wide(m_service->url("/echo")), {}, m_buffer,
                                                platform::ProxyUse::Environment);
    const std::string answer = text(m_buffer, count);
    EXPECT_EQ(answer.rfind("GET /echo HTTP/1.1\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("\r\nContent-Length: 0\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, LongAnswerStopsAtTheBufferEnd)
{
    // One byte short of the buffer, as the update check asks: the last byte stays zero.
    std::span<std::uint8_t> all(m_buffer);
    const std::int64_t count =
        m_client.request(L"GET", wide(m_service->url("/big")), {}, all.first(all.size() - 1),
                         platform::ProxyUse::Environment);
    EXPECT_EQ(count, 102399);
    EXPECT_EQ(m_buffer[102398], '{');
    EXPECT_EQ(m_buffer[102399], 0);
}

TEST_F(HttpClientTest, RedirectIsFollowed)
{
    const std::int64_t count = m_client.request(L"GET", wide(m_service->url("/redirect")), {},
                                                m_buffer, platform::ProxyUse::Environment);
    EXPECT_EQ(text(m_buffer, count).rfind("GET /echo HTTP/1.1\r\n", 0), 0u);
}

// Part of an answer, or none, is never handed out as the answer: the caller gets the
// marker and the reason, which names the time-out, the rate or the short body.
TEST_F(HttpClientTest, AnAnswerThatDoesNotArriveWholeIsNoAnswerWithItsReason)
{
    using std::chrono::milliseconds;
    struct Case {
        const char* path;
        std::function<void(platform::HttpSettings&)> limit;
        platform::HttpErrorCode code;
        const char* said;
    };
    const Case cases[] = {
        // The service answers only after 5 s.
        {"/slow", [](auto& s) { s.receiveTimeout = milliseconds(300); },
         platform::HttpErrorCode::TimedOut, "127.0.0.1 sent nothing for 300 ms"},
        // One byte every 100 ms keeps the pause timer from ever firing.
        {"/trickle?gap=0.1",
         [](auto& s) {
             s.rateWindow = milliseconds(1000);
             s.minimumRate = 1024;
         },
         platform::HttpErrorCode::TimedOut, "sent less than 1024 bytes a second for 1 s"},
        {"/trickle?gap=0.1",
         [](auto& s) {
             s.minimumRate = 1;
             s.requestDeadline = milliseconds(1500);
         },
         platform::HttpErrorCode::TimedOut, "did not finish within 1500 ms"},
        // A whole JSON answer, in a third of the length announced.
        {"/short", [](auto&) {}, platform::HttpErrorCode::Transfer,
         "ended the answer after 18 of the 54 bytes it announced"},
    };
    for (const Case& c : cases) {
        m_client.resetSettings();
        m_client.settings().extraCaFile = certificates() / "ca.pem";
        c.limit(m_client.settings());
        m_buffer.assign(m_buffer.size(), 0xAB);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(post(c.path, "x"), 0) << c.path;
        EXPECT_EQ(text(m_buffer, 15), std::string("NO_LINK_SERVER") + '\0') << c.path;
        EXPECT_TRUE(
            std::all_of(m_buffer.begin() + 15, m_buffer.end(), [](auto b) { return b == 0; }))
            << c.path << ": part of the answer was left in the buffer";
        EXPECT_EQ(m_client.lastError().code, c.code) << c.path;
        EXPECT_NE(m_client.lastError().message.find(c.said), std::string::npos)
            << c.path << ": " << m_client.lastError().message;
        // Bounded, not timed: well short of the 30 s the default timers would need.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    }
}

TEST_F(HttpClientTest, AbortFromAnotherThreadEndsAWaitingRequest)
{
    std::thread stopper([&] {
        // Wait (bounded) until the service has the request, then stop it from here.
        for (int i = 0; i < 400; ++i) {
            const auto lines = testing_support::readLines(m_log);
            if (!lines.empty())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_client.abort();
    });
    EXPECT_EQ(post("/slow", "x"), 0);
    stopper.join();
    EXPECT_EQ(m_client.lastError().code, platform::HttpErrorCode::Aborted);
    // Stays stopped until cleared.
    EXPECT_EQ(post("/echo", "x"), 0);
    m_client.clearAbort();
    EXPECT_GT(post("/echo", "x"), 0);
}

TEST_F(HttpClientTest, UnknownAuthorityIsRefusedNamingTheHost)
{
    m_client.settings().extraCaFile.clear();
    EXPECT_EQ(post("/echo", "x"), 0);
    EXPECT_EQ(text(m_buffer, 14), "NO_LINK_SERVER");
    EXPECT_EQ(m_client.lastError().code, platform::HttpErrorCode::Certificate);
    EXPECT_NE(m_client.lastError().message.find("127.0.0.1"), std::string::npos);
}

TEST_F(HttpClientTest, SelfSignedCertificateIsRefused)
{
    TestService selfSigned({"https", "--certs", certificates().string(), "--cert", "self"});
    ASSERT_NE(selfSigned.port(), 0);
    EXPECT_EQ(m_client.request(L"GET", wide(selfSigned.url("/echo")), {}, m_buffer,
                               platform::ProxyUse::Environment),
              0);
    EXPECT_EQ(m_client.lastError().code, platform::HttpErrorCode::Certificate);
    EXPECT_EQ(text(m_buffer, 14), "NO_LINK_SERVER");
}

TEST_F(HttpClientTest, MissingExtraCaFileIsAClearFailure)
{
    m_client.settings().extraCaFile = m_folder / "absent.pem";
    EXPECT_EQ(post("/echo", "x"), 0);
    EXPECT_EQ(m_client.lastError().code, platform::HttpErrorCode::Certificate);
    EXPECT_NE(m_client.lastError().message.find("absent.pem"), std::string::npos);
}

TEST_F(HttpClientTest, ProxyFromTheEnvironmentCarriesTheRequest)
{
    const auto proxyLog = m_folder / "proxy.log";
    TestService proxy({"proxy", "--log", proxyLog.string()});
    ASSERT_NE(proxy.port(), 0);
    ScopedEnvironment viaProxy("https_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
    const std::int64_t count = post("/echo", "x");
    EXPECT_EQ(text(m_buffer, count).rfind("POST /echo", 0), 0u);
    const auto lines = testing_support::readLines(proxyLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("CONNECT 127.0.0.1:" + std::to_string(m_service->port()), 0), 0u);
}

TEST_F(HttpClientTest, NamedProxyIsUsedOnlyWhenAskedFor)
{
    const auto proxyLog = m_folder / "proxy.log";
    TestService proxy({"proxy", "--log", proxyLog.string()});
    ASSERT_NE(proxy.port(), 0);
    m_client.settings().namedProxy = "http://127.0.0.1:" + std::to_string(proxy.port());
    EXPECT_GT(post("/echo", "x"), 0);
    EXPECT_TRUE(testing_support::readLines(proxyLog).empty());
    EXPECT_GT(m_client.request(L"POST", wide(m_service->url("/echo")), bytesOf("x"), m_buffer,
                               platform::ProxyUse::Named),
              0);
    EXPECT_EQ(testing_support::readLines(proxyLog).size(), 1u);
}

TEST_F(HttpClientTest, DownloadResumesAfterTheBytesAlreadyThere)
{
    const auto file = m_folder / "part";
    // The first 1000 bytes of the service's pattern are already on disk.
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 1000; ++i)
            out.put(static_cast<char>((i * 7 + 3) & 0xFF));
    }
    std::vector<platform::DownloadProgress> reports;
    const auto result =
        m_client.download(wide(m_service->url("/file")), file,
                          [&](const auto& progress) { reports.push_back(progress); });
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result->received, 300000u);
    EXPECT_EQ(result->total, 300000u);
    EXPECT_EQ(std::filesystem::file_size(file), 300000u);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().received, 300000u);
    const auto lines = testing_support::readLines(m_log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "GET /file range=bytes=1000-");
    std::ifstream in(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    for (std::size_t i = 0; i < content.size(); i += 997)
        ASSERT_EQ(static_cast<std::uint8_t>(content[i]), (i * 7 + 3) & 0xFF) << i;
}

TEST_F(HttpClientTest, DownloadOfAMissingFileFailsWithTheStatus)
{
    const auto result =
        m_client.download(wide(m_service->url("/nothing")), m_folder / "x", nullptr);
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find("404"), std::string::npos);
}

TEST_F(HttpClientTest, StatusOtherThan2xxIsAFailureNamingTheCode)
{
    // The error page's body is JSON that would otherwise read as an answer.
    EXPECT_EQ(post("/status500", "x"), 0);
    EXPECT_EQ(m_client.lastError().code, platform::HttpErrorCode::BadStatus);
    EXPECT_NE(m_client.lastError().message.find("status 500"), std::string::npos);
    EXPECT_EQ(text(m_buffer, 14), "NO_LINK_SERVER");
    EXPECT_EQ(m_buffer[14], 0);
}

TEST_F(HttpClientTest, DownloadsEndAtADeadlineOfTheirOwn)
{
    m_client.settings().minimumRate = 1;
    m_client.settings().downloadDeadline = std::chrono::milliseconds(1500);
    const auto result =
        m_client.download(wide(m_service->url("/trickle?gap=0.1")), m_folder / "slow", nullptr);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, platform::Error::Code::Timeout);
}

TEST_F(HttpClientTest, DownloadStopsAtTheExpectedOrTheLargestSize)
{
    // The service sends 300000 bytes where 100 were announced.
    const auto file = m_folder / "announced";
    auto result = m_client.download(wide(m_service->url("/file")), file, nullptr, expecting(100));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, platform::Error::Code::TooLarge);
    EXPECT_LE(std::filesystem::file_size(file), 100u);

    // An endless body without a length stops at the client's limit.
    m_client.settings().maxDownloadSize = 1024 * 1024;
    const auto endless = m_folder / "endless";
    result = m_client.download(wide(m_service->url("/endless")), endless, nullptr);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, platform::Error::Code::TooLarge);
    EXPECT_LE(std::filesystem::file_size(endless), 1024u * 1024u);

    // A server announcing more than the limit is refused before its first byte lands.
    m_client.settings().maxDownloadSize = 1000;
    const auto big = m_folder / "big";
    result = m_client.download(wide(m_service->url("/file")), big, nullptr);
    ASSERT_FALSE(result);
    EXPECT_EQ(std::filesystem::file_size(big), 0u);

    // So is a size announced by the service beyond the limit: nothing is asked.
    std::ofstream(m_log, std::ios::trunc).flush();
    result = m_client.download(wide(m_service->url("/file")), big, nullptr, expecting(5000));
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find("beyond the limit"), std::string::npos);
    EXPECT_TRUE(testing_support::readLines(m_log).empty());
}

} // namespace
