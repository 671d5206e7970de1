#pragma once

#include "platform/result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class WorkerThread;

// Messages between processes of the same user, in place of broadcast window messages and
// WM_COPYDATA. Every process that receives owns one socket in a shared owner-only folder
// (instanceRuntimeFolder() for the program); senders find the others there.
//
// A message is posted: the sender never waits for it to be handled, and a peer that does
// not take it within kIpcSendTimeout is skipped with a debug line.

inline constexpr std::size_t kMaxIpcDataSize = 64 * 1024;
// Names travel as UTF-8; a longer name is refused by the sender and dropped by a receiver.
inline constexpr std::size_t kMaxIpcNameBytes = 1024;
inline constexpr std::chrono::milliseconds kIpcSendTimeout{200};

struct IpcMessage {
    enum class Kind : std::uint8_t {
        Registered = 1, // a registered message: name, wParam, lParam, optional data
        CopyData = 2,   // the WM_COPYDATA shape: wParam, copyDataId (dwData) and data
    };

    Kind kind = Kind::Registered;
    std::wstring name; // the registered message's name; empty for CopyData
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::uint64_t copyDataId = 0;
    // Exactly the bytes that arrived (at most kMaxIpcDataSize): a receiver that expects a
    // fixed layout must check the size itself.
    std::vector<std::uint8_t> data;

    // Filled in on receipt: the sending endpoint's name as it gave it, and its process id
    // as the system vouches for it.
    std::wstring senderName;
    std::int32_t senderProcessId = 0;
};

class IpcEndpoint {
public:
    // Runs on the listener thread, one message at a time; must not throw. A handler that
    // needs the UI thread hands the message on (post) rather than waiting for it.
    using Handler = std::function<void(IpcMessage&& message)>;

    // An endpoint named like the window it stands for (peers address it by this name,
    // compared case-insensitively). It only sends until startReceiving().
    IpcEndpoint(std::filesystem::path folder, std::wstring name);
    ~IpcEndpoint(); // stops receiving (bounded) and removes the socket
    IpcEndpoint(const IpcEndpoint&) = delete;
    IpcEndpoint& operator=(const IpcEndpoint&) = delete;

    const std::wstring& name() const { return m_name; }
    const std::filesystem::path& folder() const { return m_folder; }

    // Creates this endpoint's socket (owner-only) and hands every message that arrives to
    // the handler on a listener thread. Fails when already receiving. With acceptedNames,
    // a registered message whose name (in any letter case) is not among them is dropped and
    // counted: a peer must not make the receiver register names without end, nor send
    // what only the receiver's own parts may send.
    [[nodiscard]] Result<void> startReceiving(Handler handler,
                                              std::vector<std::wstring> acceptedNames = {});
    // Registered messages dropped for a name outside acceptedNames so far.
    std::uint64_t droppedMessages() const;
    // Ends the listener through its stop event, waiting up to the time-out, and removes the
    // socket. True when the listener has ended; a late one is reported and left to end.
    bool stopReceiving(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    bool isReceiving() const;

    // To every other receiving endpoint in the folder. The result is the number of peers
    // that took the message; a peer that is gone or stuck is skipped, not an error. Data
    // above kMaxIpcDataSize is refused (TooLarge) and nothing is sent.
    [[nodiscard]] Result<std::size_t> broadcast(std::wstring_view message, std::uint64_t wParam,
                                                std::int64_t lParam,
                                                std::span<const std::uint8_t> data = {}) const;
    // To the endpoints named peer only (usually one); 0 when none runs.
    [[nodiscard]] Result<std::size_t> post(std::wstring_view peer, std::wstring_view message,
                                           std::uint64_t wParam, std::int64_t lParam,
                                           std::span<const std::uint8_t> data = {}) const;
    [[nodiscard]] Result<std::size_t> postCopyData(std::wstring_view peer, std::uint64_t wParam,
                                                   std::uint64_t copyDataId,
                                                   std::span<const std::uint8_t> data) const;

    // Whether an endpoint of that name receives now (the way FindWindow tells that a
    // companion runs).
    [[nodiscard]] bool hasPeer(std::wstring_view peer) const;

private:
    struct Listener;

    Result<std::size_t> deliver(const IpcMessage& message, std::wstring_view target) const;

    std::filesystem::path m_folder;
    std::wstring m_name;
    std::filesystem::path m_socketPath;   // fixed for the endpoint's life; bound while receiving
    std::shared_ptr<Listener> m_listener; // shared with the listener thread
    std::unique_ptr<WorkerThread> m_thread;
};

} // namespace platform
