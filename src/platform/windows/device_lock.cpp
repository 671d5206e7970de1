#include "platform/device_lock.h"

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/windows/win_error.h"

#include <algorithm>
#include <functional>
#include <windows.h>

namespace platform {
namespace {

// The locks are byte ranges far past the note, so readers of the note are never refused:
// Windows enforces byte-range locks on reads as well. One byte is the device, the next the
// turn a waiting live frame holds.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kDeviceByte = 0;
constexpr DWORD kTurnByte = 1;

// A holder that ends without letting go (killed) sets no event; the system still drops its
// locks, and a waiter looks again after this long.
constexpr std::chrono::milliseconds kRecheck{100};

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

bool tryLockByte(HANDLE file, DWORD byte, bool exclusive)
{
    OVERLAPPED range{};
    range.Offset = byte;
    range.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(file, flags, 0, 1, 0, &range) != FALSE;
}

void unlockByte(HANDLE file, DWORD byte)
{
    OVERLAPPED range{};
    range.Offset = byte;
    range.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(file, 0, 1, 0, &range);
}

// Whether a waiter that goes first holds the turn. A shared lock for the test, so two
// testers do not refuse each other.
bool turnIsTaken(HANDLE file)
{
    if (!tryLockByte(file, kTurnByte, false))
        return true;
    unlockByte(file, kTurnByte);
    return false;
}

// Set whenever the device or the turn is let go, reset by whoever takes the device: the
// waiters' wake-up, shared by every program through its name.
windows::Handle openReleasedEvent(const std::filesystem::path& file)
{
    const std::wstring name = L"Local\\halvek-device-lock-" +
                              std::to_wstring(std::hash<std::wstring>{}(toLower(file.wstring())));
    return windows::Handle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

} // namespace

// Byte-range locks on the device's file: they belong to the handle, not the thread (a
// channel may take and give back the device on different threads), and the system drops
// them with the handle however the holder ends. Waiting is by a named event the holder sets
// as it lets go, never by a waiting LockFileEx, which some systems grant at once.
struct DeviceLock::State {
    std::filesystem::path file;
    // The file and the waiters' event: open while held, and kept after a live frame lets go,
    // for the next frame.
    windows::Handle open;
    windows::Handle released;
    bool held = false;
    Turn heldTurn = Turn::Queue;

    void close()
    {
        open.close();
        released.close();
    }
};

DeviceLock::DeviceLock() : m_state(std::make_unique<State>()) {}
DeviceLock::~DeviceLock()
{
    release();
}

void DeviceLock::setFile(const std::filesystem::path& folder, const std::string& name)
{
    const auto file = folder / toPath(fromUtf8(name));
    if (file == m_state->file)
        return;
    release();
    m_state->close();
    m_state->file = file;
}

bool DeviceLock::hasFile() const
{
    return !m_state->file.empty();
}

bool DeviceLock::isHeld() const
{
    return m_state->held;
}

void DeviceLock::release()
{
    if (!m_state->held)
        return;
    m_state->held = false;
    unlockByte(m_state->open.get(), kDeviceByte);
    SetEvent(m_state->released.get());
    // The next live frame follows within milliseconds: it finds the file and the event open.
    if (m_state->heldTurn != Turn::First)
        m_state->close();
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
    return parseLockHolder(std::string_view(text, got));
}

namespace {

// Notes who holds the device in the file, unless it names this program already (a file kept
// by the last live frame usually does).
bool noteHolder(HANDLE file, const std::string& note)
{
    char written[128];
    DWORD got = 0;
    OVERLAPPED start{};
    if (ReadFile(file, written, sizeof written, &got, &start) && got == note.size() &&
        std::equal(note.begin(), note.end(), written))
        return true;
    LARGE_INTEGER zero{};
    DWORD put = 0;
    return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) &&
           WriteFile(file, note.data(), static_cast<DWORD>(note.size()), &put, nullptr) &&
           put == note.size() && SetEndOfFile(file);
}

} // namespace

Result<void> DeviceLock::acquire(std::chrono::milliseconds wait, Turn turn)
{
    if (isHeld())
        return {};
    auto& state = *m_state;
    const auto& file = state.file;
    if (file.empty())
        return makeError(Error::Code::InvalidInput, "no device lock file chosen");
    const auto deadline = std::chrono::steady_clock::now() + wait;
    if (!state.open.isValid()) {
        state.open = windows::Handle(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!state.open.isValid())
            return makeError(Error::Code::Io, windows::errorText(displayName(file)));
    }
    if (!state.released.isValid()) {
        state.released = openReleasedEvent(file);
        if (!state.released.isValid()) {
            const DWORD error = GetLastError();
            state.close();
            return makeError(Error::Code::Io, windows::errorText("device lock event", error));
        }
    }
    const HANDLE handle = state.open.get();
    const HANDLE released = state.released.get();

    // The turn is a lock of the same handle, given up on every way out: the handle may stay
    // open for the next frame.
    bool myTurn = false;
    const auto giveUpTurn = [&] {
        if (!myTurn)
            return;
        unlockByte(handle, kTurnByte);
        myTurn = false;
        SetEvent(released);
    };
    // A sequence refused keeps nothing open; a live frame keeps what it opened for the next.
    const auto refuse = [&](Error error) {
        giveUpTurn();
        if (turn != Turn::First)
            state.close();
        return Result<void>(std::move(error));
    };
    while (true) {
        // A waiter that goes first holds the turn; the others let it have the device when
        // its holder lets go, so a stream is not starved by back-to-back sequences.
        const bool yield = turn == Turn::Queue && turnIsTaken(handle);
        if (!yield && tryLockByte(handle, kDeviceByte, true))
            break;
        const DWORD error = GetLastError();
        if (!yield && error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
            return refuse(makeError(Error::Code::Io, windows::errorText(displayName(file), error)));
        if (wait.count() <= 0)
            return refuse(makeError(Error::Code::Timeout, describeHolder(holder())));
        if (turn == Turn::First && !myTurn)
            myTurn = tryLockByte(handle, kTurnByte, true);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return refuse(
                makeError(Error::Code::Timeout, describeHolder(holder()) + " for more than " +
                                                    std::to_string(wait.count()) + " ms"));
        }
        const auto slice = std::min(left, kRecheck);
        if (WaitForSingleObject(released, static_cast<DWORD>(slice.count())) == WAIT_OBJECT_0) {
            // Set by a release that someone else may already have answered: let them reset it
            // before looking again, rather than racing round on a set event.
            ResetEvent(released);
        }
    }
    ResetEvent(released);
    giveUpTurn();

    // The holder's process id and name, for whoever has to wait; the lock is what counts.
    const std::string note = std::to_string(GetCurrentProcessId()) + " " + programName() + "\n";
    if (!noteHolder(handle, note))
        debugOutput("device lock: holder not noted in " + displayName(file));
    state.held = true;
    state.heldTurn = turn;
    return {};
}

} // namespace platform
