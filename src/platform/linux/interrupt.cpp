#include "platform/interrupt.h"

#include "platform/debug_output.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

// The write end of the pipe the signal handler writes to; -1 while no notice lives.
std::atomic<int> g_signalPipe{-1};

constexpr char kInterrupted = 'i';
constexpr char kQuit = 'q';

void onSignal(int)
{
    const int saved = errno;
    if (const int fd = g_signalPipe.load(); fd >= 0) {
        const char byte = kInterrupted;
        (void)!::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

struct InterruptNotice::Impl {
    int readEnd = -1;
    int writeEnd = -1;
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
    int previousPipe = -1;
    std::thread thread;
};

InterruptNotice::InterruptNotice(std::function<void()> onInterrupt)
    : m_impl(std::make_unique<Impl>())
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        debugOutput("interrupt notice: no pipe; interrupts end the program");
        return;
    }
    m_impl->readEnd = fds[0];
    m_impl->writeEnd = fds[1];
    m_impl->previousPipe = g_signalPipe.exchange(fds[1]);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &m_impl->previousInt);
    ::sigaction(SIGTERM, &action, &m_impl->previousTerm);
    m_impl->thread = std::thread([readEnd = fds[0], onInterrupt = std::move(onInterrupt)] {
        for (;;) {
            pollfd wait{readEnd, POLLIN, 0};
            if (::poll(&wait, 1, -1) < 0 && errno != EINTR)
                return;
            char byte = 0;
            while (::read(readEnd, &byte, 1) == 1) {
                if (byte == kQuit)
                    return;
                if (onInterrupt)
                    onInterrupt();
            }
        }
    });
}

InterruptNotice::~InterruptNotice()
{
    if (m_impl->readEnd < 0)
        return;
    ::sigaction(SIGINT, &m_impl->previousInt, nullptr);
    ::sigaction(SIGTERM, &m_impl->previousTerm, nullptr);
    g_signalPipe.store(m_impl->previousPipe);
    const char byte = kQuit;
    (void)!::write(m_impl->writeEnd, &byte, 1);
    m_impl->thread.join();
    ::close(m_impl->readEnd);
    ::close(m_impl->writeEnd);
}

} // namespace platform
