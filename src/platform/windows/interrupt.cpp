#include "platform/interrupt.h"

#include "platform/debug_output.h"
#include "platform/windows/win_error.h"

#include <atomic>
#include <thread>
#include <windows.h>

namespace platform {
namespace {

// The event the console handler sets; null while no notice lives.
std::atomic<HANDLE> g_interruptEvent{nullptr};

// Runs on a thread the system makes for the console event. Close, log-off and shut-down
// are answered too, so the program ends its loop as on Ctrl+C before the system ends it.
BOOL WINAPI onConsoleEvent(DWORD)
{
    HANDLE event = g_interruptEvent.load();
    if (event == nullptr)
        return FALSE;
    SetEvent(event);
    return TRUE;
}

} // namespace

struct InterruptNotice::Impl {
    windows::Handle interrupted;
    windows::Handle quit;
    HANDLE previousEvent = nullptr;
    std::thread thread;
};

InterruptNotice::InterruptNotice(std::function<void()> onInterrupt)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->interrupted = windows::Handle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_impl->quit = windows::Handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_impl->interrupted.isValid() || !m_impl->quit.isValid()) {
        debugOutput(windows::errorText("interrupt notice: no event; interrupts end the program"));
        return;
    }
    m_impl->previousEvent = g_interruptEvent.exchange(m_impl->interrupted.get());
    if (m_impl->previousEvent == nullptr)
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    m_impl->thread = std::thread([interrupted = m_impl->interrupted.get(),
                                  quit = m_impl->quit.get(), onInterrupt = std::move(onInterrupt)] {
        const HANDLE events[] = {quit, interrupted};
        while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            if (onInterrupt)
                onInterrupt();
        }
    });
}

InterruptNotice::~InterruptNotice()
{
    if (!m_impl->thread.joinable())
        return;
    g_interruptEvent.store(m_impl->previousEvent);
    if (m_impl->previousEvent == nullptr)
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    SetEvent(m_impl->quit.get());
    m_impl->thread.join();
}

} // namespace platform
