#include "platform/ipc.h"

#include "platform/debug_output.h"
#include "platform/ipc_datagram.h"
#include "platform/ipc_endpoint_files.h"
#include "platform/ipc_receiver.h"
#include "platform/ipc_transport.h"
#include "platform/text.h"
#include "platform/windows/security.h"
#include "platform/windows/win_error.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <optional>
#include <windows.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using windows::Handle;

constexpr std::wstring_view kPipePrefix = L"\\\\.\\pipe\\halvek-ipc-";

// Every receiving endpoint's file is a marker, open with delete-on-close while the endpoint
// receives, so the system removes it when its process ends however it ends; its pipe is
// named after it.
std::wstring pipeName(const fs::path& marker)
{
    return std::wstring(kPipePrefix) + marker.stem().wstring();
}

// Waits for an overlapped call up to the time-out and cancels it when it did not finish;
// the bytes moved, or nullopt.
std::optional<DWORD> finishOverlapped(HANDLE handle, OVERLAPPED& overlapped, BOOL started,
                                      DWORD waitMs, HANDLE stop = nullptr)
{
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return std::nullopt;
    const HANDLE waits[] = {overlapped.hEvent, stop};
    const DWORD waited = WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, waitMs);
    DWORD moved = 0;
    if (waited != WAIT_OBJECT_0) {
        CancelIoEx(handle, &overlapped);
        GetOverlappedResult(handle, &overlapped, &moved, TRUE);
        return std::nullopt;
    }
    if (!GetOverlappedResult(handle, &overlapped, &moved, FALSE))
        return std::nullopt;
    return moved;
}

} // namespace

const std::string_view kIpcEndpointSuffix = ".pipe";

struct IpcEndpoint::Listener {
    Handle marker;
    Handle wake; // set to end the listener's wait
    Handle next; // the pipe instance that waits for the next sender
    std::wstring pipe;
    IpcReceiver receiver;

    explicit Listener(IpcReceiver::Setup setup) : receiver(std::move(setup)) {}

    std::optional<windows::OwnerOnlySecurity> security;

    enum class Instance { First, Next };
    Handle createInstance(Instance which) const;
    void run(Event& stop);
};

// Local callers only, and only this user (and the system) may open it: others' messages
// never arrive. The first instance must be new, or someone else made the name first.
Handle IpcEndpoint::Listener::createInstance(Instance which) const
{
    const DWORD first = which == Instance::First ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
    return Handle(CreateNamedPipeW(
        pipe.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | first,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, 0, static_cast<DWORD>(kMaxIpcDatagramSize), 0,
        security->attributes()));
}

void IpcEndpoint::Listener::run(Event& stop)
{
    Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    while (!stop.isSet() && next.isValid()) {
        Handle instance = std::move(next);
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        ResetEvent(done.get());
        // A sender that wrote and closed before this connect leaves its message in the
        // pipe: ERROR_PIPE_CONNECTED or ERROR_NO_DATA, and the read below still gets it.
        if (!ConnectNamedPipe(instance.get(), &overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA &&
                !finishOverlapped(instance.get(), overlapped, FALSE, INFINITE, wake.get())) {
                // Disconnected, so a failed instance cannot fail the same way at once again.
                DisconnectNamedPipe(instance.get());
                next = std::move(instance);
                continue;
            }
        }
        // The next sender finds an instance waiting while this one is read: a pipe name
        // without any instance would tell it nobody is there.
        next = createInstance(Instance::Next);
        if (!next.isValid())
            debugOutput(windows::errorText("ipc: listener pipe failed"));
        ResetEvent(done.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = done.get();
        const auto buffer = receiver.buffer();
        const BOOL started = ReadFile(instance.get(), buffer.data(),
                                      static_cast<DWORD>(buffer.size()), nullptr, &overlapped);
        const auto size = finishOverlapped(instance.get(), overlapped, started,
                                           static_cast<DWORD>(kIpcSendTimeout.count()), wake.get());
        if (size) {
            // 0 when the system no longer knows it (a sender already gone).
            ULONG sender = 0;
            GetNamedPipeClientProcessId(instance.get(), &sender);
            receiver.receive(*size, static_cast<std::int32_t>(sender));
        } else if (GetLastError() == ERROR_MORE_DATA)
            debugOutput("ipc: message dropped: larger than any message");
        DisconnectNamedPipe(instance.get());
    }
}

IpcEndpoint::IpcEndpoint(fs::path folder, std::wstring name)
    : m_folder(std::move(folder)), m_name(std::move(name)),
      m_socketPath(ipcEndpointFile(m_folder, GetCurrentProcessId(), m_name, kIpcEndpointSuffix)),
      m_thread(std::make_unique<WorkerThread>())
{
}

Result<void> IpcEndpoint::startReceiving(Handler handler, std::vector<std::wstring> acceptedNames)
{
    if (m_listener)
        return makeError(Error::Code::Failed, "ipc: already receiving");
    auto listener = std::make_shared<Listener>(
        IpcReceiver::Setup{m_name, std::move(handler), std::move(acceptedNames)});
    listener->wake = Handle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    listener->marker = Handle(
        CreateFileW(m_socketPath.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!listener->wake.isValid() || !listener->marker.isValid())
        return windows::systemError("ipc: " + toUtf8(m_socketPath.wstring()));
    auto security = windows::OwnerOnlySecurity::make(windows::OwnerOnlySecurity::Inheritance::None);
    if (!security)
        return security.error();
    listener->security = std::move(*security);
    listener->pipe = pipeName(m_socketPath);
    listener->next = listener->createInstance(Listener::Instance::First);
    if (!listener->next.isValid())
        return windows::systemError("ipc: " + toUtf8(listener->pipe));
    m_listener = listener;
    m_thread->start("ipc listener", [listener](Event& stop) { listener->run(stop); });
    return {};
}

std::uint64_t IpcEndpoint::droppedMessages() const
{
    return m_listener ? m_listener->receiver.dropped() : 0;
}

bool IpcEndpoint::stopReceiving(std::chrono::milliseconds timeout)
{
    if (!m_listener)
        return true;
    // Gone from the folder first, so no sender picks it up while we stop.
    m_listener->marker.close();
    SetEvent(m_listener->wake.get());
    const bool ended = m_thread->stop(timeout);
    m_listener.reset();
    return ended;
}

bool sendIpcMessage(const fs::path& marker, std::span<const std::uint8_t> bytes)
{
    const std::wstring pipe = pipeName(marker);
    // One instance waits at a time, so senders at once take turns: a sender that loses the
    // instance to another waits again, until its time is up.
    const auto deadline = std::chrono::steady_clock::now() + kIpcSendTimeout;
    Handle handle;
    for (;;) {
        // Identification only: whoever serves the pipe may learn who we are, never act as us.
        handle = Handle(CreateFileW(
            pipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (handle.isValid() || GetLastError() != ERROR_PIPE_BUSY)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (!WaitNamedPipeW(pipe.c_str(), static_cast<DWORD>(left.count())) &&
                                  GetLastError() != ERROR_PIPE_BUSY))
            break;
    }
    if (!handle.isValid()) {
        debugOutput(L"ipc: " + marker.filename().wstring() + L" did not take the message; skipped");
        return false;
    }
    Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    const BOOL started = WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                   nullptr, &overlapped);
    const auto written = finishOverlapped(handle.get(), overlapped, started,
                                          static_cast<DWORD>(kIpcSendTimeout.count()));
    if (!written || *written != bytes.size()) {
        debugOutput(L"ipc: " + marker.filename().wstring() + L" did not take the message; skipped");
        return false;
    }
    return true;
}

// The marker exists only while its endpoint lives; its pipe answers while it listens.
bool ipcEndpointAnswers(const fs::path& marker)
{
    return WaitNamedPipeW(pipeName(marker).c_str(), NMPWAIT_USE_DEFAULT_WAIT) ||
           GetLastError() == ERROR_SEM_TIMEOUT;
}

} // namespace platform
