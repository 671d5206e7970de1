#pragma once

// Simulated interfaces of another process: halvek-devsim serves the interfaces plugged in
// it over a Unix-domain socket, and the socket backend lists and opens them here as if they
// were plugged in this process. Paths carry "sock&" where in-process ones carry "sim&".

#include "device/hid/hid_backend.h"
#include "platform/result.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace hid::sim {

// HALVEK_SIM_SOCKET when set, else "devsim.sock" in the program's runtime folder.
[[nodiscard]] platform::Result<std::filesystem::path> deviceServerSocket();

// The socket backend reaches the server at this socket from now on; an empty path turns it
// off. Until called it follows HALVEK_SIM_SOCKET.
void useDeviceServer(const std::filesystem::path& socket);

// Lists nothing while no server is in use or the server cannot be reached.
Backend& socketBackend();

// Serves this process's plugged simulated interfaces, and takes control lines for the
// program around it. One thread accepts, one more per open connection.
class DeviceServer {
public:
    // Gets one control line, returns the answer (one or more lines).
    using ControlHandler = std::function<std::string(const std::string& line)>;

    DeviceServer();
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Fails when the socket is in use by a running server or cannot be made.
    [[nodiscard]] platform::Result<void> start(const std::filesystem::path& socket,
                                               ControlHandler control);
    // Closes every connection (the clients see their devices gone) and removes the socket.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Whether a server listens at `socket`: Unavailable ("no halvek-devsim is listening on …")
// when none does.
[[nodiscard]] platform::Result<void> reachDeviceServer(const std::filesystem::path& socket);

// Sends one control line to a running server and returns its answer.
[[nodiscard]] platform::Result<std::string> sendControl(const std::filesystem::path& socket,
                                                        const std::string& line);

} // namespace hid::sim
