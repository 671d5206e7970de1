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

bool holdsThePattern(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    if (content.size() != kFileSize)
        return false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (static_cast<std::uint8_t>(content[i]) != ((i * 7 + 3) & 0xFF))
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
        m_service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
            "https", "--certs", testing_support::testCertificates().string(), "--log",
            m_log.string(), "--file-size", std::to_string(kFileSize)});
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
