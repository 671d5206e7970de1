#include "platform/linux/bus_thread.h"

#include "platform/debug_output.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace platform {

struct BusThread::State {
    int wakeFd = -1;
    std::mutex lock;
    std::deque<Work> queue; // guarded by lock
    Result<void> startResult;
    Event started{Event::ResetPolicy::Manual};

    ~State()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    void wake() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
    }
};

namespace {

std::string busError(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(-error);
}

Result<sd_bus*> connect(BusThread::Bus kind, const std::string& address)
{
    sd_bus* bus = nullptr;
    int r = 0;
    if (address.empty()) {
        r = kind == BusThread::Bus::System ? sd_bus_open_system(&bus) : sd_bus_open_user(&bus);
    } else {
        r = sd_bus_new(&bus);
        if (r >= 0)
            r = sd_bus_set_address(bus, address.c_str());
        if (r >= 0)
            r = sd_bus_set_bus_client(bus, 1);
        if (r >= 0)
            r = sd_bus_start(bus);
    }
    if (r < 0) {
        sd_bus_unref(bus);
        return makeError(
            Error::Code::Unavailable,
            busError(kind == BusThread::Bus::System ? "system bus" : "session bus", r));
    }
    return bus;
}

// Waits for the bus or the wake-up descriptor, as long as the bus's own next time-out.
void waitForBus(sd_bus* bus, int wakeFd)
{
    pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                     {wakeFd, POLLIN, 0}};
    std::uint64_t until = 0;
    int timeout = -1;
    if (sd_bus_get_timeout(bus, &until) > 0 && until != UINT64_MAX) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs =
            static_cast<std::uint64_t>(now.tv_sec) * 1000000u + now.tv_nsec / 1000;
        timeout = until <= nowUs ? 0 : static_cast<int>((until - nowUs + 999) / 1000);
    }
    if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto read = ::read(wakeFd, &count, sizeof count);
    }
}

} // namespace

BusThread::BusThread() = default;

BusThread::~BusThread()
{
    stop(std::chrono::milliseconds(1000));
}

Result<void> BusThread::start(std::string name, Bus kind, const std::string& address, Setup setup,
                              Lost lost, std::chrono::milliseconds timeout)
{
    stop(timeout);
    auto state = std::make_shared<State>();
    state->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->wakeFd < 0)
        return makeError(Error::Code::Io, std::string("eventfd: ") + std::strerror(errno));
    m_state = state;
    const std::string threadName = name;
    m_worker.start(std::move(name), [state, kind, address, setup = std::move(setup),
                                     lost = std::move(lost), threadName](Event& stop) {
        auto connected = connect(kind, address);
        if (!connected) {
            state->startResult = connected.error();
            state->started.set();
            return;
        }
        sd_bus* bus = *connected;
        if (auto ready = setup(bus); !ready) {
            state->startResult = ready.error();
            sd_bus_flush_close_unref(bus);
            state->started.set();
            return;
        }
        state->started.set();
        while (!stop.isSet()) {
            std::deque<Work> work;
            {
                std::lock_guard guard(state->lock);
                work.swap(state->queue);
            }
            for (auto& item : work)
                item(bus);
            const int r = sd_bus_process(bus, nullptr);
            if (r < 0) {
                debugOutput(threadName + ": " + busError("connection lost", r));
                if (lost)
                    lost();
                break;
            }
            if (r == 0)
                waitForBus(bus, state->wakeFd);
        }
        // Work posted just before the stop still runs: it may let go of the slots that
        // hold the bus, which would otherwise never be freed.
        std::deque<Work> last;
        {
            std::lock_guard guard(state->lock);
            last.swap(state->queue);
        }
        for (auto& item : last)
            item(bus);
        sd_bus_flush_close_unref(bus);
    });
    if (!state->started.waitFor(timeout)) {
        stop(std::chrono::milliseconds(0));
        return makeError(Error::Code::Timeout, threadName + ": no answer from the bus in time");
    }
    if (!state->startResult) {
        const auto error = state->startResult.error();
        stop(timeout);
        return error;
    }
    return {};
}

void BusThread::post(Work work)
{
    if (!m_state || !m_worker.isRunning())
        return;
    {
        std::lock_guard guard(m_state->lock);
        m_state->queue.push_back(std::move(work));
    }
    m_state->wake();
}

void BusThread::stop(std::chrono::milliseconds timeout)
{
    if (!m_state)
        return;
    // Set the event before waking, so the woken loop sees it.
    if (auto* event = m_worker.stopEvent())
        event->set();
    m_state->wake();
    m_worker.stop(timeout);
    m_state.reset();
}

} // namespace platform
