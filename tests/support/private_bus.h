#pragma once

#include "support/temp_dir.h"

#include <string>
#include <sys/types.h>

namespace testing_support {

// A D-Bus daemon of the test's own, on a socket in a temporary folder, so tests that
// talk D-Bus never reach the user's session or the system bus. Ended with the object.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not be started (dbus-daemon missing); error() says why.
    const std::string& address() const { return m_address; }
    const std::string& error() const { return m_error; }

private:
    TempDir m_folder;
    pid_t m_pid = -1;
    std::string m_address;
    std::string m_error;
};

} // namespace testing_support
