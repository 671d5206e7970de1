// The device server's connections on Windows: a byte-mode named pipe named for the server's
// path (Wine has no Unix-domain sockets), with overlapped I/O for the time-outs and for a
// shutdown that wakes a waiting read.

#include "device/hid/sim/socket_wire.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "platform/windows/security.h"
#include "platform/windows/win_error.h"

#include <algorithm>
#include <functional>
#include <windows.h>

namespace hid::sim::wire {
namespace {

using Clock = std::chrono::steady_clock;
using platform::windows::Handle;
using platform::windows::OwnerOnlySecurity;

constexpr DWORD kPipeBuffer = 64 * 1024;

// The same path names the same pipe in the server and its clients, whatever its case.
std::wstring pipeName(const std::filesystem::path& server)
{
    const std::size_t hash = std::hash<std::wstring>{}(platform::toLower(server.wstring()));
    return L"\\\\.\\pipe\\halvek-devsim-" + std::to_wstring(hash);
}

DWORD millisecondsUntil(const Deadline& deadline)
{
    if (!deadline)
        return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<DWORD>(std::clamp<long long>(left.count(), 0, INFINITE - 1));
}

enum class Io { Done, TimedOut, Stopped, Failed };

// One overlapped transfer, waited for until done, the deadline or the stop event. One cut
// short is cancelled and waited out, so its buffer is free again on return.
Io transfer(HANDLE pipe, HANDLE stop, bool writing, void* bytes, DWORD size, DWORD& moved,
            const Deadline& deadline)
{
    moved = 0;
    if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0)
        return Io::Stopped;
    Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done.isValid())
        return Io::Failed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    const BOOL started = writing ? WriteFile(pipe, bytes, size, nullptr, &overlapped)
                                 : ReadFile(pipe, bytes, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return Io::Failed;
    const HANDLE events[] = {done.get(), stop};
    const DWORD waited = WaitForMultipleObjects(2, events, FALSE, millisecondsUntil(deadline));
    if (waited != WAIT_OBJECT_0)
        CancelIoEx(pipe, &overlapped);
    const BOOL finished = GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
    if (finished && moved > 0)
        return Io::Done;
    if (waited == WAIT_OBJECT_0 + 1)
        return Io::Stopped;
    if (waited == WAIT_TIMEOUT)
        return Io::TimedOut;
    return Io::Failed;
}

class PipeStream final : public Stream {
public:
    PipeStream(Handle pipe, bool serverEnd)
        : m_pipe(std::move(pipe)), m_serverEnd(serverEnd),
          m_readStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_writeStop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }

    bool isValid() const { return m_readStop.isValid() && m_writeStop.isValid(); }

    Sent write(std::span<const std::uint8_t> bytes, const Deadline& deadline) override
    {
        bool started = false;
        while (!bytes.empty()) {
            DWORD moved = 0;
            const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kPipeBuffer));
            const Io result =
                transfer(m_pipe.get(), m_writeStop.get(), true,
                         const_cast<std::uint8_t*>(bytes.data()), size, moved, deadline);
            if (result == Io::TimedOut && !started && moved == 0)
                return Sent::TimedOut;
            // Half a message cannot be taken back: the stream is of no further use then.
            if (result != Io::Done)
                return Sent::Closed;
            started = true;
            bytes = bytes.subspan(moved);
        }
        return Sent::Done;
    }

    bool read(std::span<std::uint8_t> bytes, const Deadline& deadline) override
    {
        while (!bytes.empty()) {
            DWORD moved = 0;
            const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kPipeBuffer));
            if (transfer(m_pipe.get(), m_readStop.get(), false, bytes.data(), size, moved,
                         deadline) != Io::Done)
                return false;
            bytes = bytes.subspan(moved);
        }
        return true;
    }

    void shutdown() override
    {
        SetEvent(m_readStop.get());
        SetEvent(m_writeStop.get());
    }

    void shutdownRead() override { SetEvent(m_readStop.get()); }

    std::int64_t peerProcessId() const override
    {
        ULONG process = 0;
        const BOOL known = m_serverEnd ? GetNamedPipeClientProcessId(m_pipe.get(), &process)
                                       : GetNamedPipeServerProcessId(m_pipe.get(), &process);
        return known ? static_cast<std::int64_t>(process) : 0;
    }

private:
    Handle m_pipe;
    bool m_serverEnd;
    Handle m_readStop;
    Handle m_writeStop;
};

// Only this user (and the system) may connect: the devices' state is nobody else's.
Handle newInstance(const std::wstring& name, bool first, const OwnerOnlySecurity& security)
{
    return Handle(CreateNamedPipeW(
        name.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer, 0, security.attributes()));
}

// One instance always waits for the next client, so a client never finds the name gone
// between two accepts.
class PipeListener final : public Listener {
public:
    PipeListener(std::wstring name, OwnerOnlySecurity security, Handle first)
        : m_name(std::move(name)), m_security(std::move(security)), m_waiting(std::move(first)),
          m_closed(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }

    std::unique_ptr<Stream> accept() override
    {
        while (m_waiting.isValid() && m_closed.isValid()) {
            Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            OVERLAPPED overlapped{};
            overlapped.hEvent = done.get();
            bool connected = ConnectNamedPipe(m_waiting.get(), &overlapped) != FALSE;
            const DWORD error = connected ? ERROR_SUCCESS : GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                connected = true;
            } else if (error == ERROR_IO_PENDING) {
                const HANDLE events[] = {done.get(), m_closed.get()};
                const DWORD waited = WaitForMultipleObjects(2, events, FALSE, INFINITE);
                if (waited != WAIT_OBJECT_0)
                    CancelIoEx(m_waiting.get(), &overlapped);
                DWORD ignored = 0;
                connected = GetOverlappedResult(m_waiting.get(), &overlapped, &ignored, TRUE);
                if (waited != WAIT_OBJECT_0)
                    return nullptr;
            }
            Handle next = newInstance(m_name, false, m_security);
            if (!next.isValid()) {
                platform::debugOutput("device server: no new pipe instance, no more connections");
                return nullptr;
            }
            Handle client = std::exchange(m_waiting, std::move(next));
            if (!connected)
                continue; // a client that came and went at once
            auto stream = std::make_unique<PipeStream>(std::move(client), true);
            if (stream->isValid())
                return stream;
        }
        return nullptr;
    }

    void close() override { SetEvent(m_closed.get()); }

private:
    std::wstring m_name;
    OwnerOnlySecurity m_security;
    Handle m_waiting;
    Handle m_closed;
};

} // namespace

std::unique_ptr<Stream> connectTo(const std::filesystem::path& server)
{
    if (server.empty())
        return nullptr;
    const std::wstring name = pipeName(server);
    // One instance waits at a time, so clients at once take turns: a client that loses the
    // instance to another waits again, until its time is up.
    const auto deadline = Clock::now() + kServerTimeout;
    for (;;) {
        Handle pipe(CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe.isValid()) {
            auto stream = std::make_unique<PipeStream>(std::move(pipe), false);
            if (!stream->isValid())
                return nullptr;
            return stream;
        }
        if (GetLastError() != ERROR_PIPE_BUSY)
            return nullptr;
        const DWORD left = millisecondsUntil(deadline);
        if (left == 0 || (!WaitNamedPipeW(name.c_str(), left) && GetLastError() != ERROR_PIPE_BUSY))
            return nullptr;
    }
}

platform::Result<std::unique_ptr<Listener>> Listener::open(const std::filesystem::path& server)
{
    if (server.empty())
        return platform::makeError(platform::Error::Code::InvalidInput, "no device server path");
    const std::wstring name = pipeName(server);
    auto security = OwnerOnlySecurity::make(OwnerOnlySecurity::Inheritance::None);
    if (!security)
        return security.error();
    Handle first = newInstance(name, true, *security);
    if (!first.isValid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY)
            return platform::makeError(platform::Error::Code::Unavailable,
                                       "a device server already runs on " +
                                           platform::windows::displayName(server));
        return platform::makeError(
            platform::Error::Code::Io,
            platform::windows::errorText(platform::windows::displayName(server) + ": no named pipe",
                                         error));
    }
    return std::unique_ptr<Listener>(
        std::make_unique<PipeListener>(name, std::move(*security), std::move(first)));
}

} // namespace hid::sim::wire
