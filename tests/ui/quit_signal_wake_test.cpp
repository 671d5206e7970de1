#include "ui/sdl/quit_signal_wake.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_libraryHandlerRuns = 0;

// Behaves as SDL's handler does: sets its flag and puts itself back with signal().
void libraryHandler(int signal)
{
    std::signal(signal, libraryHandler);
    g_libraryHandlerRuns = g_libraryHandlerRuns + 1;
}

bool woken(int descriptor)
{
    pollfd entry{descriptor, POLLIN, 0};
    if (::poll(&entry, 1, 0) != 1)
        return false;
    std::uint64_t count = 0;
    return ::read(descriptor, &count, sizeof count) == sizeof count && count > 0;
}

class QuitSignalWake : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(wake, 0);
        ::sigaction(SIGTERM, nullptr, &saved);
        std::signal(SIGTERM, libraryHandler);
        g_libraryHandlerRuns = 0;
        (void)ui::sdl::takeQuitSignal();
    }
    void TearDown() override
    {
        ui::sdl::unchainQuitSignals();
        ::sigaction(SIGTERM, &saved, nullptr);
        ::close(wake);
    }

    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    struct sigaction saved {};
};

} // namespace

TEST_F(QuitSignalWake, ASignalRunsTheLibrarysHandlerAndWakesTheWaitEveryTime)
{
    // SDL only raises its flag; a window asleep in poll() must be woken to pump and see it,
    // also for the second signal, after SDL's handler has put itself back in our place.
    ui::sdl::chainQuitSignals(wake);
    for (int time = 1; time <= 2; ++time) {
        std::raise(SIGTERM);
        EXPECT_EQ(g_libraryHandlerRuns, time);
        EXPECT_TRUE(woken(wake)) << "signal " << time;
        EXPECT_TRUE(ui::sdl::takeQuitSignal());
        EXPECT_FALSE(ui::sdl::takeQuitSignal()) << "taken once per signal";
    }
}

TEST_F(QuitSignalWake, UnchainedTheLibrarysHandlerIsBackAndADefaultIsLeftAlone)
{
    // SDL_Quit restores the default only where it finds its own handler; ours left behind
    // would keep SIGTERM from ending the process once the window is gone.
    ui::sdl::chainQuitSignals(wake);
    ui::sdl::unchainQuitSignals();
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &libraryHandler);

    // Without a handler of SDL's (its hint against them) the default stays: it ends the
    // process, which needs no pump.
    std::signal(SIGTERM, SIG_DFL);
    ui::sdl::chainQuitSignals(wake);
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
