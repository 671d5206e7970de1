#include "platform/device_lock.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "platform/windows/win_error.h"

#include <algorithm>
#include <charconv>
#include <windows.h>

namespace platform {
namespace {

// The lock is a byte range far past the note, so readers of the note are never refused:
// Windows enforces byte-range locks on reads as well.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

std::string displayName(const std::filesystem::path& path)
{
    const auto utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string programName()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring name = std::filesystem::path(path).stem().wstring();
    return toUtf8(name);
}

std::optional<LockHolder> parseHolder(std::string_view text)
{
    // "<pid> <program>\n", as acquire() writes it; anything else is no holder we can name.
    const auto space = text.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    LockHolder holder;
    const auto [end, error] = std::from_chars(text.data(), text.data() + space, holder.processId);
    if (error != std::errc{} || end != text.data() + space || holder.processId <= 0)
        return std::nullopt;
    std::string_view program = text.substr(space + 1);
    if (const auto newline = program.find('\n'); newline != std::string_view::npos)
        program = program.substr(0, newline);
    for (const char c : program) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt;
    }
    holder.program = std::string(program);
    return holder;
}

} // namespace

// A byte-range lock on the device's file: it belongs to the handle, not the thread (a
// channel may take and give back the device on different threads), the system drops it
// with the handle however the holder ends, and LockFileEx on an overlapped handle gives the
// bounded wait that ends as soon as the holder lets go.
struct DeviceLock::State {
    std::filesystem::path file;
    windows::Handle held; // open and locked while held
};

DeviceLock::DeviceLock() : m_state(std::make_unique<State>()) {}
DeviceLock::~DeviceLock() = default;

void DeviceLock::setFile(const std::filesystem::path& folder, const std::string& name)
{
    const auto file = folder / toPath(fromUtf8(name));
    if (file == m_state->file)
        return;
    release();
    m_state->file = file;
}

bool DeviceLock::hasFile() const
{
    return !m_state->file.empty();
}

bool DeviceLock::isHeld() const
{
    return m_state->held.isValid();
}

void DeviceLock::release()
{
    if (!m_state->held.isValid())
        return;
    OVERLAPPED range{};
    range.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(m_state->held.get(), 0, 1, 0, &range);
    m_state->held.close();
}

std::optional<LockHolder> DeviceLock::holder() const
{
    windows::Handle file(CreateFileW(m_state->file.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isValid())
        return std::nullopt;
    char text[128] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), text, sizeof text - 1, &got, nullptr) || got == 0)
        return std::nullopt;
    return parseHolder(std::string_view(text, got));
}

// The turn is not kept here yet: waiting byte-range locks are granted in the system's own
// order, so a live frame may wait for the next sequence too.
Result<void> DeviceLock::acquire(std::chrono::milliseconds wait, Turn)
{
    if (isHeld())
        return {};
    const auto& file = m_state->file;
    if (file.empty())
        return makeError(Error::Code::InvalidInput, "no device lock file chosen");
    windows::Handle handle(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
    if (!handle.isValid())
        return windows::systemError(displayName(file));
    windows::Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED range{};
    range.OffsetHigh = kLockOffsetHigh;
    range.hEvent = done.get();
    const DWORD flags =
        LOCKFILE_EXCLUSIVE_LOCK | (wait.count() <= 0 ? LOCKFILE_FAIL_IMMEDIATELY : 0);
    if (!LockFileEx(handle.get(), flags, 0, 1, 0, &range)) {
        const DWORD error = GetLastError();
        if (error == ERROR_LOCK_VIOLATION)
            return makeError(Error::Code::Timeout, describeHolder(holder()));
        if (error != ERROR_IO_PENDING)
            return windows::systemError(displayName(file), error);
        const auto waitMs = static_cast<DWORD>(std::min<long long>(wait.count(), INFINITE - 1));
        if (WaitForSingleObject(done.get(), waitMs) != WAIT_OBJECT_0) {
            CancelIoEx(handle.get(), &range);
            DWORD ignored = 0;
            // The lock may have come just as the wait ended: then it is ours after all.
            if (!GetOverlappedResult(handle.get(), &range, &ignored, TRUE))
                return makeError(Error::Code::Timeout, describeHolder(holder()));
        }
    }
    // The holder's process id and name, for whoever has to wait.
    const std::string note = std::to_string(GetCurrentProcessId()) + " " + programName() + "\n";
    OVERLAPPED start{};
    start.hEvent = done.get();
    ResetEvent(done.get());
    DWORD written = 0;
    if (WriteFile(handle.get(), note.data(), static_cast<DWORD>(note.size()), nullptr, &start) ||
        GetLastError() == ERROR_IO_PENDING)
        GetOverlappedResult(handle.get(), &start, &written, TRUE);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(note.size());
    if (SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN))
        SetEndOfFile(handle.get());
    m_state->held = std::move(handle);
    return {};
}

} // namespace platform
