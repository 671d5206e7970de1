// The real program against the emulated keyboard, with a fake logind on a private system
// bus: a suspend and resume must re-apply the keyboard's profile, as the trace shows.

#include "support/fake_logind.h"
#include "support/private_bus.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::FakeLogind;
using testing_support::PrivateBus;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

const std::filesystem::path kBinaryDir(HALVEK_BINARY_DIR);
// Sanitized builds under load start slowly; the waits end as soon as the line is there.
constexpr auto kWait = 60s;

struct TraceLine {
    Clock::time_point at;
    std::string text;
};

// halvek running with its standard output and error read line by line, each line with
// the moment it arrived.
class RunningProgram {
public:
    explicit RunningProgram(std::vector<std::string> args)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        m_reader = std::thread([this, fd = ends[0]] { readLines(fd); });
    }

    ~RunningProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_reader.joinable())
            m_reader.join();
    }

    bool started() const { return m_pid > 0; }

    // The first line at or after `from` that contains the text.
    std::optional<TraceLine> waitFor(const std::string& text, std::size_t from = 0)
    {
        std::unique_lock guard(m_lock);
        std::optional<TraceLine> found;
        m_changed.wait_for(guard, kWait, [&] {
            for (std::size_t i = from; i < m_lines.size(); ++i) {
                if (m_lines[i].text.find(text) != std::string::npos) {
                    found = m_lines[i];
                    return true;
                }
            }
            return m_ended;
        });
        return found;
    }

    std::size_t lineCount()
    {
        std::lock_guard guard(m_lock);
        return m_lines.size();
    }

    std::vector<std::string> linesBetween(std::size_t from, std::size_t to)
    {
        std::lock_guard guard(m_lock);
        std::vector<std::string> lines;
        for (std::size_t i = from; i < std::min(to, m_lines.size()); ++i)
            lines.push_back(m_lines[i].text);
        return lines;
    }

    std::size_t indexOf(const std::string& text, std::size_t from)
    {
        std::lock_guard guard(m_lock);
        for (std::size_t i = from; i < m_lines.size(); ++i) {
            if (m_lines[i].text.find(text) != std::string::npos)
                return i;
        }
        return m_lines.size();
    }

    std::string output()
    {
        std::lock_guard guard(m_lock);
        std::string all;
        // The tail is what tells why something went wrong.
        const std::size_t first = m_lines.size() > 200 ? m_lines.size() - 200 : 0;
        for (std::size_t i = first; i < m_lines.size(); ++i)
            all += m_lines[i].text + "\n";
        return all;
    }

private:
    void readLines(int fd)
    {
        std::string pending;
        char chunk[4096];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got <= 0)
                break;
            const auto now = Clock::now();
            pending.append(chunk, static_cast<std::size_t>(got));
            std::lock_guard guard(m_lock);
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                m_lines.push_back({now, pending.substr(0, end)});
                pending.erase(0, end + 1);
            }
            m_changed.notify_all();
        }
        ::close(fd);
        std::lock_guard guard(m_lock);
        m_ended = true;
        m_changed.notify_all();
    }

    pid_t m_pid = -1;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<TraceLine> m_lines; // guarded by m_lock
    bool m_ended = false;           // guarded by m_lock
};

TEST(ResumeReapply, EachResumeWritesTheKeyboardsProfileAgain)
{
    if (!std::filesystem::exists(kBinaryDir / "halvek") ||
        !std::filesystem::exists(kBinaryDir / "skin/res.xml"))
        GTEST_SKIP() << "halvek and its skin are not built";
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << bus.error();
    FakeLogind logind(bus.address());

    TempDir dir;
    std::filesystem::create_directories(dir / "run");
    std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
    // Nothing of the user's: their buses, folders and display stay out of it.
    ScopedEnvironment systemBus("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
    ScopedEnvironment sessionBus("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ScopedEnvironment data("XDG_DATA_HOME", (dir / "data").string());
    ScopedEnvironment config("XDG_CONFIG_HOME", (dir / "config").string());
    ScopedEnvironment cache("XDG_CACHE_HOME", (dir / "cache").string());
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", (dir / "run").string());
    ScopedEnvironment display("DISPLAY", std::nullopt);
    ScopedEnvironment wayland("WAYLAND_DISPLAY", std::nullopt);
    ScopedEnvironment debug("HALVEK_DEBUG", std::nullopt);
    // The program stays up until the test is done with it.
    std::ofstream(dir / "session.txt") << "wait keyboard_device_key_light\nsleep 600000\nquit\n";

    RunningProgram halvek({(kBinaryDir / "halvek").string(), "--offscreen", "--simulate=cable",
                           "--trace", "--script", (dir / "session.txt").string()});
    ASSERT_TRUE(halvek.started());
    // The delay lock says the program listens; "first frame" that the window is up.
    ASSERT_TRUE(logind.waitForLocks(1)) << halvek.output();
    ASSERT_TRUE(halvek.waitFor("first frame shown")) << halvek.output();
    ASSERT_TRUE(halvek.waitFor("keyboard started")) << halvek.output();

    constexpr int kCycles = 3;
    std::vector<double> latencies;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const std::size_t before = halvek.lineCount();
        logind.prepareForSleep(true);
        ASSERT_TRUE(halvek.waitFor("system suspends", before)) << halvek.output();
        // The lock was given back so the system may sleep.
        EXPECT_FALSE(logind.newestLockHeld(5000ms)) << halvek.output();

        const std::size_t asleep = halvek.lineCount();
        const auto resumed = Clock::now();
        logind.prepareForSleep(false);
        const auto done = halvek.waitFor("profile re-applied", asleep);
        ASSERT_TRUE(done) << halvek.output();
        EXPECT_EQ(done->text.find("not re-applied"), std::string::npos) << done->text;
        latencies.push_back(std::chrono::duration<double, std::milli>(done->at - resumed).count());

        // Between the two notes, the frames that went to the keyboard and its answers.
        const std::size_t start = halvek.indexOf("re-applying the keyboard's profile", asleep);
        const std::size_t end = halvek.indexOf("profile re-applied", start);
        const auto lines = halvek.linesBetween(start, end);
        ASSERT_FALSE(lines.empty()) << halvek.output();
        const auto count = [&](const char* title) {
            return std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& line) { return line == title; });
        };
        // "命令" is a request frame, "返回" the keyboard's reply.
        EXPECT_GT(count("\xE5\x91\xBD\xE4\xBB\xA4"), 5) << halvek.output();
        EXPECT_EQ(count("\xE5\x91\xBD\xE4\xBB\xA4"), count("\xE8\xBF\x94\xE5\x9B\x9E"))
            << halvek.output();
        // The next suspend is delayed again.
        ASSERT_TRUE(logind.waitForLocks(static_cast<std::size_t>(cycle) + 2)) << halvek.output();
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("resume -> profile re-applied: min %.1f ms, median %.1f ms, max %.1f ms (%d)\n",
                latencies.front(), latencies[latencies.size() / 2], latencies.back(), kCycles);
    RecordProperty("resume_to_reapplied_median_ms",
                   static_cast<int>(latencies[latencies.size() / 2]));
}

} // namespace
