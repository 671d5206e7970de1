// The main window against the emulated keyboard as hidraw nodes: the tile comes after the
// plug's udev event and goes after the unplug's. The times are printed, not asserted.

#include "hidraw/hidraw_run.h"

#include "device/hid/sim/socket_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing_support::CommandRun;

// A picture the window's script writes into a named pipe: it arrives the moment the step
// before it held, without anyone polling for the file.
class PipedPicture {
public:
    explicit PipedPicture(std::filesystem::path fifo) : m_fifo(std::move(fifo))
    {
        m_made = std::system(("mkfifo " + m_fifo.string()).c_str()) == 0;
        m_read = std::async(std::launch::async, [fifo = m_fifo] {
            std::ifstream in(fifo, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {}).size() > 0;
        });
    }
    ~PipedPicture()
    {
        // A picture never written: opening the pipe for writing ends the waiting read.
        if (m_read.valid() && m_read.wait_for(0s) != std::future_status::ready)
            std::ofstream release(m_fifo);
    }
    PipedPicture(const PipedPicture&) = delete;
    PipedPicture& operator=(const PipedPicture&) = delete;

    bool made() const { return m_made; }
    // Whether the picture came within the time.
    bool wait(std::chrono::seconds timeout)
    {
        if (m_read.wait_for(timeout) != std::future_status::ready)
            return false;
        return m_read.get();
    }

private:
    std::filesystem::path m_fifo;
    bool m_made = false;
    std::future<bool> m_read;
};

long long millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// halvek on a virtual display with scratch folders in `home`, running `session`.
std::string windowScript(const std::string& home, const std::string& halvekOptions)
{
    return "mkdir -p -m 700 " + home + "/runtime && XDG_DATA_HOME=" + home +
           "/data XDG_CONFIG_HOME=" + home + "/config XDG_CACHE_HOME=" + home +
           "/cache XDG_RUNTIME_DIR=" + home +
           "/runtime xvfb-run -a -s '-noreset -screen 0 1280x800x24' halvek " + halvekOptions +
           " --script " + home + "/session.txt; echo \"halvek=$?\"";
}

class HidrawWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        HIDRAW_TESTS_NEED_NODES();
        if (!testing_support::builtProgramExists("halvek"))
            GTEST_SKIP() << "halvek is not built";
        if (std::system("command -v xvfb-run >/dev/null") != 0)
            GTEST_SKIP() << "xvfb-run is missing";
    }

    // The session: the window up without the keyboard ("ready"), then, once plugged, the
    // keyboard's page ("page"), then, once unplugged, the notice again ("gone").
    // The steps that plug and unplug are empty where they come from outside.
    void writeSession(const std::filesystem::path& folder, const std::string& firstSteps,
                      const std::string& plugStep, const std::string& unplugStep)
    {
        std::ofstream session(folder / "session.txt");
        session << firstSteps << "wait No_device_Link\nscreenshot "
                << (folder / "ready.png").string() << "\n"
                << plugStep << "wait keyboard_device_key_light\nscreenshot "
                << (folder / "page.png").string() << "\n"
                << unplugStep << "wait No_device_Link\nscreenshot "
                << (folder / "gone.png").string() << "\nquit\n";
    }

    hidraw_tests::HidrawRun nodes;
};

TEST_F(HidrawWindow, PlugShowsTheKeyboardsPageAndUnplugRemovesIt)
{
    // The baseline: the same window with the keyboard plugged in the program's own process,
    // from the moment the "ready" picture came (the plug is the step after it).
    Clock::duration inProcess{};
    {
        hidraw_tests::HidrawRun baseline;
        PipedPicture ready(baseline.folder / "ready.png");
        PipedPicture page(baseline.folder / "page.png");
        PipedPicture gone(baseline.folder / "gone.png");
        ASSERT_TRUE(ready.made() && page.made() && gone.made());
        writeSession(baseline.folder.path(), "wait keyboard_device_key_light\nsim unplug cable\n",
                     "sim plug cable\n", "sim unplug cable\n");
        auto window = std::async(std::launch::async, [&] {
            return baseline.runOutside(
                windowScript(baseline.folder.path().string(), "--simulate=cable"));
        });
        const bool shown = ready.wait(60s);
        const auto plug = Clock::now();
        const bool paged = shown && page.wait(30s);
        inProcess = Clock::now() - plug;
        const bool removed = paged && gone.wait(30s);
        const auto run = window.get();
        ASSERT_TRUE(paged && removed) << run.output;
    }

    // The same through the nodes: the keyboard's page built once, then unplugged and plugged.
    const auto& folder = nodes.folder;
    PipedPicture first(folder / "first.png");
    PipedPicture ready(folder / "ready.png");
    PipedPicture page(folder / "page.png");
    PipedPicture gone(folder / "gone.png");
    ASSERT_TRUE(first.made() && ready.made() && page.made() && gone.made());
    writeSession(folder.path(),
                 "wait keyboard_device_key_light\nscreenshot " + (folder / "first.png").string() +
                     "\n",
                 "", "");
    auto window = std::async(std::launch::async, [&] {
        return nodes.run("--links cable", windowScript(folder.path().string(), ""));
    });

    const auto socket = folder / "devsim.sock";
    const bool started = first.wait(60s) && hid::sim::sendControl(socket, "unplug cable");
    const bool shown = started && ready.wait(30s);
    const auto plug = Clock::now();
    const auto plugged = shown ? hid::sim::sendControl(socket, "plug cable")
                               : platform::Result<std::string>(platform::Error{});
    const auto event = Clock::now(); // the node and its events are there when it answers
    const bool paged = plugged && page.wait(30s);
    const auto pageTime = Clock::now();
    const auto unplugged = paged ? hid::sim::sendControl(socket, "unplug cable")
                                 : platform::Result<std::string>(platform::Error{});
    const auto removal = Clock::now();
    const bool removed = unplugged && gone.wait(30s);
    const auto goneTime = Clock::now();

    const auto run = window.get();
    ASSERT_TRUE(started) << run.output;
    ASSERT_TRUE(shown) << run.output;
    ASSERT_TRUE(plugged) << plugged.error().message;
    EXPECT_TRUE(paged) << run.output;
    EXPECT_TRUE(removed) << run.output;
    EXPECT_NE(run.output.find("halvek=0"), std::string::npos) << run.output;
    if (paged && removed) {
        const auto toPage = pageTime - plug;
        std::printf("plug to the keyboard's page: %lld ms through hidraw nodes (%lld ms after "
                    "the udev event), %lld ms in process, ratio %.2f; unplug event to the "
                    "notice: %lld ms\n",
                    millisecondsBetween(plug, pageTime), millisecondsBetween(event, pageTime),
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(inProcess).count()),
                    std::chrono::duration<double>(toPage) /
                        std::chrono::duration<double>(inProcess),
                    millisecondsBetween(removal, goneTime));
    }
}

TEST_F(HidrawWindow, ANodeTheUserMayNotOpenShowsHowToGrantAccess)
{
    const auto& folder = nodes.folder;
    std::ofstream(folder / "session.txt")
        << "wait no_device_access\nexpect-visible no_device_hint 0\nscreenshot "
        << (folder / "access.png").string() << "\nquit\n";
    const CommandRun run = nodes.run(
        "--links none", "halvek-devsim ctl deny cable >/dev/null && halvek-devsim ctl plug cable "
                        ">/dev/null && " +
                            windowScript(folder.path().string(), ""));
    EXPECT_NE(run.output.find("halvek=0"), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::exists(folder / "access.png")) << run.output;
}

} // namespace
