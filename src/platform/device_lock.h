#pragma once

// Ownership of one device between programs: an advisory lock on a file named for the device
// in a private folder (the program's runtime folder). The file exists while someone holds,
// takes or streams to the device and notes the holder. Whoever holds it is the only program
// talking to the device; the others wait a bounded time for it and then give up, naming the
// holder. The system drops the lock with the holder, however that ends.
//
// Not for threads of one process: each DeviceLock is a holder of its own, so two of them
// in one process exclude each other like two programs. A DeviceLock itself is used by one
// thread at a time (the command channel serialises its threads before it).

#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Who holds a device, as the holder wrote it down.
struct LockHolder {
    std::int64_t processId = 0;
    std::string program;
};

// "device held by halvek (pid 4121)", or "device held by another program" when the holder
// wrote nothing readable.
[[nodiscard]] std::string describeHolder(const std::optional<LockHolder>& holder);

// The holder a lock file's note names: "<pid> <program>\n", as the lock writes it; nullopt
// for anything else, which names no one.
[[nodiscard]] std::optional<LockHolder> parseLockHolder(std::string_view text);

// The lock file's name for a device identity: a readable, bounded name of letters, digits
// and '-' that differs for different identities.
[[nodiscard]] std::string deviceLockName(std::wstring_view identity);

class DeviceLock {
public:
    DeviceLock();
    ~DeviceLock(); // releases
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // The lock file to use from now on: folder / name. Releases a lock held on another.
    void setFile(const std::filesystem::path& folder, const std::string& name);
    bool hasFile() const;

    // Who gets the device when its holder lets go: a waiter that goes First (a live
    // frame, which must not wait long) before those that Queue (sequences), so a stream
    // loses at most what falls inside one sequence. Sequences among themselves and two
    // waiters that go first take their chances.
    enum class Turn { Queue, First };

    // Takes the lock, waiting at most `wait` while another holder has it; the wait ends as
    // soon as the holder lets go. Fails with Code::Timeout (message naming the holder) when
    // it kept the device, with Code::Io when the lock file cannot be used. Holding already
    // is success.
    [[nodiscard]] Result<void> acquire(std::chrono::milliseconds wait, Turn turn = Turn::Queue);
    // Lets go and deletes the lock file, so files of devices long gone do not pile up. A
    // hold taken to go First (a live frame) may leave the file for the next frame; it goes
    // with the next sequence's release or with this object.
    void release();
    bool isHeld() const;

    // The holder noted in the file, if any; for messages.
    [[nodiscard]] std::optional<LockHolder> holder() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace platform
