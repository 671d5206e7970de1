#include "ui/sdl/quit_signal_wake.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <unistd.h>

namespace ui::sdl {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr int kSignalCount = 2;

std::atomic<int> g_wake{-1};
std::atomic<bool> g_signalled{false};
struct sigaction g_previous[kSignalCount];
bool g_chained[kSignalCount] = {};

int indexOf(int signal)
{
    return signal == SIGINT ? 0 : 1;
}

void onQuitSignal(int signal, siginfo_t* info, void* context);

void install(int index)
{
    struct sigaction ours {};
    ours.sa_sigaction = onQuitSignal;
    ours.sa_flags = SA_SIGINFO | (g_previous[index].sa_flags & SA_RESTART);
    ours.sa_mask = g_previous[index].sa_mask;
    ::sigaction(kSignals[index], &ours, nullptr);
}

// Only async-signal-safe calls here.
void onQuitSignal(int signal, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    const int index = indexOf(signal);
    const struct sigaction& previous = g_previous[index];
    if ((previous.sa_flags & SA_SIGINFO) != 0)
        previous.sa_sigaction(signal, info, context);
    else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN)
        previous.sa_handler(signal);
    // SDL's handler puts itself back with signal(), in our place.
    install(index);
    g_signalled = true;
    if (const int wake = g_wake.load(); wake >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(wake, &one, sizeof one);
    }
    errno = savedErrno;
}

} // namespace

void chainQuitSignals(int wakeDescriptor)
{
    g_wake = wakeDescriptor;
    for (int index = 0; index < kSignalCount; ++index) {
        struct sigaction current {};
        if (g_chained[index] || ::sigaction(kSignals[index], nullptr, &current) != 0)
            continue;
        // Nothing of SDL's to run before the wake: the default ends the process anyway.
        if ((current.sa_flags & SA_SIGINFO) == 0 &&
            (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN))
            continue;
        g_previous[index] = current;
        g_chained[index] = true;
        install(index);
    }
}

void unchainQuitSignals()
{
    for (int index = 0; index < kSignalCount; ++index) {
        if (!g_chained[index])
            continue;
        ::sigaction(kSignals[index], &g_previous[index], nullptr);
        g_chained[index] = false;
    }
    g_wake = -1;
}

bool takeQuitSignal()
{
    return g_signalled.exchange(false);
}

} // namespace ui::sdl
