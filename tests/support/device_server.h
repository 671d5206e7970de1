#pragma once

#include "support/run_command.h"
#include "support/scoped_environment.h"

#include "platform/child_process.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// halvek-devsim serving its emulated devices on a socket of the test's own; while it lives,
// HALVEK_SIM_SOCKET names that socket, so programs run with --simulate=socket reach it.
class DeviceServer {
public:
    DeviceServer(const std::filesystem::path& socket, const std::vector<std::string>& arguments);
    // Ends a server the test did not quit.
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Whether it started and answers control lines; why not otherwise.
    bool isServing() const { return m_serving; }
    const std::string& failure() const { return m_failure; }

    // halvek-devsim ctl LINE, as a user would send it.
    CommandRun control(const std::string& line);
    // Sends "quit" and waits for the server to end: its exit status, or nullopt when it did
    // not end (it is then ended).
    std::optional<int> quit();
    // The same, for a server told to quit some other way.
    std::optional<int> waitForEnd();

private:
    ScopedEnvironment m_socket;
    platform::ChildProcess m_process;
    bool m_serving = false;
    std::string m_failure;
};

} // namespace testing_support
