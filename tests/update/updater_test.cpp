#include "update/updater.h"

#include "platform/event.h"
#include "platform/ipc.h"
#include "platform/text.h"

#include "support/run_command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_service.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnvironment;

constexpr std::uint64_t kFileSize = 300000;

std::wstring wide(const std::string& narrow)
{
    return std::wstring(narrow.begin(), narrow.end());
}

// Whether the file holds exactly the service's file of that seed and size.
bool holdsThePattern(const fs::path& file, int seed = 0, std::uint64_t size = kFileSize)
{
    std::ifstream in(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    if (content.size() != size)
        return false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (static_cast<std::uint8_t>(content[i]) != ((i * 7 + 3 + seed * 13) & 0xFF))
            return false;
    }
    return true;
}

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::testServiceAvailable())
            GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
        m_log = m_folder / "requests.log";
        m_seed = m_folder / "seed";
        m_service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
            "https", "--certs", testing_support::testCertificates().string(), "--log",
            m_log.string(), "--file-size", std::to_string(kFileSize), "--file-seed",
            m_seed.string()});
        ASSERT_NE(m_service->port(), 0);
        fs::create_directories(m_folder / "runtime");
        fs::permissions(m_folder / "runtime", fs::perms::owner_all);
    }

    std::vector<std::unique_ptr<ScopedEnvironment>> isolate()
    {
        std::vector<std::unique_ptr<ScopedEnvironment>> environment;
        environment.push_back(
            std::make_unique<ScopedEnvironment>("XDG_CACHE_HOME", (m_folder / "cache").string()));
        environment.push_back(
            std::make_unique<ScopedEnvironment>("XDG_CONFIG_HOME", (m_folder / "config").string()));
        environment.push_back(std::make_unique<ScopedEnvironment>("XDG_RUNTIME_DIR",
                                                                  (m_folder / "runtime").string()));
        environment.push_back(std::make_unique<ScopedEnvironment>("https_proxy", std::nullopt));
        return environment;
    }

    pid_t startUpdater(const std::string& path)
    {
        const std::string program = std::string(HALVEK_BINARY_DIR) + "/halvek-update";
        const std::string url = m_service->url(path);
        const std::string ca = (testing_support::testCertificates() / "ca.pem").string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDOUT_FILENO);
            ::execl(program.c_str(), program.c_str(), "--url", url.c_str(), "--name",
                    "..\\..\\fw.bin", "--size", std::to_string(kFileSize).c_str(), "--ca",
                    ca.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }

    static int waitFor(pid_t pid)
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testing_support::TempDir m_folder;
    fs::path m_log;
    fs::path m_seed; // "N" or "N SIZE": the file the service serves
    std::unique_ptr<testing_support::TestService> m_service;
};

TEST_F(UpdaterTest, KilledDownloadResumesWhereItStopped)
{
    ASSERT_TRUE(testing_support::builtProgramExists("halvek-update"));
    const auto environment = isolate();
    const fs::path folder = m_folder / "cache" / "SPhalvek2vizudi" / "UpdateData";
    const fs::path partial = folder / "fw.bin.part";

    // The first run gets half of the file, then the service stalls; it is killed there.
    const pid_t first = startUpdater("/stallfile");
    ASSERT_GT(first, 0);
    std::error_code error;
    auto partialSize = [&] {
        const auto size = fs::file_size(partial, error);
        return error ? 0 : size;
    };
    for (int i = 0; i < 1000 && partialSize() < kFileSize / 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(partialSize(), kFileSize / 2);
    ::kill(first, SIGKILL);
    waitFor(first);

    std::mutex lock;
    std::vector<std::pair<std::uint64_t, std::int64_t>> reports;
    platform::Event done(platform::Event::ResetPolicy::Manual);
    platform::IpcEndpoint program(m_folder / "runtime" / "SPhalvek2vizudi", L"MainWnd");
    fs::create_directories(m_folder / "runtime" / "SPhalvek2vizudi");
    fs::permissions(m_folder / "runtime" / "SPhalvek2vizudi", fs::perms::owner_all);
    ASSERT_TRUE(program.startReceiving([&](platform::IpcMessage&& message) {
        if (message.name != update::kUpdaterReportMessage)
            return;
        std::lock_guard guard(lock);
        reports.emplace_back(message.wParam, message.lParam);
        if (message.wParam != static_cast<std::uint64_t>(update::UpdaterEvent::Progress))
            done.set();
    }));

    const pid_t second = startUpdater("/stallfile");
    EXPECT_EQ(waitFor(second), 0);
    ASSERT_TRUE(done.waitFor(std::chrono::seconds(10)));
    EXPECT_TRUE(holdsThePattern(folder / "fw.bin"));
    EXPECT_FALSE(fs::exists(partial));
    const auto lines = testing_support::readLines(m_log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "GET /stallfile range=bytes=150000-");
    std::lock_guard guard(lock);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().first, static_cast<std::uint64_t>(update::UpdaterEvent::Done));
    std::int64_t previous = 0;
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].first, static_cast<std::uint64_t>(update::UpdaterEvent::Progress));
        EXPECT_GE(reports[i].second, previous);
        EXPECT_LE(reports[i].second, 100);
        previous = reports[i].second;
    }
}

TEST_F(UpdaterTest, WrongSizeIsReportedAndNotKept)
{
    platform::HttpClient client;
    std::vector<update::UpdaterEvent> events;
    update::DownloadRequest request{wide(m_service->url("/file")),
                                    L"../x",
                                    kFileSize - 1,
                                    testing_support::testCertificates() / "ca.pem",
                                    {}};
    const auto result = update::downloadUpdate(
        client, request, m_folder / "updates",
        [&](update::UpdaterEvent event, std::int64_t) { events.push_back(event); });
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().message.find("300000"), std::string::npos);
    EXPECT_EQ(events.back(), update::UpdaterEvent::SizeMismatch);
    EXPECT_FALSE(fs::exists(m_folder / "updates" / "x"));
    EXPECT_FALSE(fs::exists(m_folder / "updates" / "x.part"));
    EXPECT_FALSE(fs::exists(m_folder / "x"));
}

// A partial file left by a download cut off is continued only when the next one asks the
// same address with the same announced size, and then under If-Range where the server gave
// an ETag or a date: anything else starts over, so two files are never joined into one.
TEST_F(UpdaterTest, APartialFileIsContinuedOnlyWithTheSameFile)
{
    struct Case {
        const char* first;  // stops after half the file, then is cut off
        const char* second; // finishes the download under the same name
        std::uint64_t firstSize;
        std::uint64_t secondSize;
        const char* seedThen; // the service's file for the second download
        int seed;             // the one the finished file must hold whole
        std::uint64_t size;
        const char* lastRequest;
    };
    const Case cases[] = {
        {"/stallfile?seed=1", "/file?seed=2", 0, 0, "0", 2, kFileSize, "GET /file range="},
        {"/stallfile", "/stallfile", 0, kFileSize, "1 whole", 1, kFileSize,
         "GET /stallfile range="},
        {"/etag/stallfile", "/etag/stallfile", 0, 0, "2", 2, kFileSize,
         "GET /etag/stallfile range=bytes=150000- if-range=\"v1\""},
        {"/dated/stallfile", "/dated/stallfile", kFileSize, kFileSize, "2", 2, kFileSize,
         "GET /dated/stallfile range=bytes=150000- if-range=Wed, 15 Nov 2023 22:13:20 GMT"},
        {"/etag/stallfile", "/etag/stallfile", 0, 0, "1", 1, kFileSize,
         "GET /etag/stallfile range=bytes=150000- if-range=\"v1\""},
        // No validator: a whole size that changed shows the file changed; it starts over.
        {"/stallfile", "/stallfile", 0, 0, "1 200000 whole", 1, 200000, "GET /stallfile range="},
    };
    const auto ca = testing_support::testCertificates() / "ca.pem";
    for (const Case& c : cases) {
        const fs::path folder = m_folder / "updates";
        fs::remove_all(folder);
        std::ofstream(m_seed, std::ios::trunc) << "1";
        std::ofstream(m_log, std::ios::trunc).flush();
        platform::HttpClient client;
        // Cut off once the half the service sends has arrived.
        auto cutAtHalf = [&](update::UpdaterEvent event, std::int64_t percent) {
            if (event == update::UpdaterEvent::Progress && percent >= 50)
                client.abort();
        };
        auto cut = update::downloadUpdate(
            client, {wide(m_service->url(c.first)), L"fw.bin", c.firstSize, ca, {}}, folder,
            cutAtHalf);
        ASSERT_FALSE(cut) << c.first;
        std::error_code error;
        ASSERT_EQ(fs::file_size(folder / "fw.bin.part", error), kFileSize / 2) << c.first;
        client.clearAbort();

        std::ofstream(m_seed, std::ios::trunc) << c.seedThen;
        const auto done = update::downloadUpdate(
            client, {wide(m_service->url(c.second)), L"fw.bin", c.secondSize, ca, {}}, folder, {});
        ASSERT_TRUE(done) << c.first << " " << c.second << " (" << c.seedThen
                          << "): " << done.error().message;
        EXPECT_TRUE(holdsThePattern(folder / "fw.bin", c.seed, c.size))
            << c.first << " then " << c.second << " mixed two files";
        EXPECT_EQ(done->size, c.size);
        EXPECT_FALSE(fs::exists(folder / "fw.bin.part"));
        EXPECT_FALSE(fs::exists(folder / "fw.bin.part.source"));
        const auto lines = testing_support::readLines(m_log);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.lastRequest) << c.first << " then " << c.second;
    }
}

TEST(UpdaterInput, OnlyWebAddressesAreFetched)
{
    testing_support::TempDir folder;
    platform::HttpClient client;
    std::vector<update::UpdaterEvent> events;
    for (const wchar_t* url : {L"file:///etc/passwd", L"ftp://127.0.0.1/x", L"", L"::"}) {
        const auto result = update::downloadUpdate(
            client, {url, L"x", 0, {}, {}}, folder.path(),
            [&](update::UpdaterEvent event, std::int64_t) { events.push_back(event); });
        EXPECT_FALSE(result);
        EXPECT_FALSE(fs::exists(folder / "x"));
        EXPECT_FALSE(fs::exists(folder / "x.part"));
    }
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events.back(), update::UpdaterEvent::Failed);
}

TEST(UpdaterProgress, PercentStaysInRange)
{
    EXPECT_EQ(update::percentOf(0, 0), 0);
    EXPECT_EQ(update::percentOf(50, 200), 25);
    EXPECT_EQ(update::percentOf(500, 200), 100);
    EXPECT_EQ(update::percentOf(~0ull, ~0ull - 1), 100);
    EXPECT_EQ(update::percentOf(1ull << 62, ~0ull), 25);
}

} // namespace
