#pragma once

// What every keyboard command of halvekctl does first: attach the simulation asked for,
// find the keyboard's command interface and open its channel the way detection does (one
// pass of the watcher, the arrival steps run at once), and, with --trace, print the
// channel's trace when done.

#include "command_registry.h"
#include "simulation.h"

#include "device/protocol/device_protocol.h"
#include "device/protocol/status.h"

#include <memory>
#include <string>

namespace model {
class UsbDeviceModel;
}

namespace cli {

class KeyboardSession {
public:
    KeyboardSession(const GlobalOptions& options, std::string commandName);
    // Detection opens the channel of this device object (kept by the caller, outliving the
    // session) instead of a bare one; its identity row says which device is looked for.
    KeyboardSession(const GlobalOptions& options, std::string commandName,
                    model::UsbDeviceModel& device);
    // Prints the trace with --trace; saves the emulated keyboard's state with --sim-state.
    ~KeyboardSession();
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // False, with a message naming the status on stderr, when no keyboard could be opened.
    // exitStatus() then says what to return.
    [[nodiscard]] bool open();
    int exitStatus() const { return m_exitStatus; }
    // Opened, but a way to the device was refused for lack of permission (said on stderr):
    // the command went another way, the receiver for a refused cable.
    bool hasRefusedLink() const { return m_refusedLink; }

    // Closes the device's links now, not at the end: a write the device still holds keeps
    // the close waiting until the system gives it up, and that wait belongs to the command.
    void close();

    CDeviceProtocol& channel();
    bool onReceiver();

    // "halvekctl NAME: what failed: description (code)" on stderr; returns 1.
    int fail(const std::string& what, protocol::Status status) const;
    // With --trace: prints the trace lines written so far, and forgets them.
    void flushTrace();

private:
    struct Detection;

    // Why no `device` could be opened, when no permission was refused.
    std::string whyNotFound(const std::string& device) const;

    const GlobalOptions& m_options;
    std::string m_name;
    std::unique_ptr<Simulation> m_simulation;
    std::unique_ptr<Detection> m_detection;
    model::UsbDeviceModel* m_device = nullptr;
    int m_exitStatus = 0;
    bool m_refusedLink = false;
};

// Parses a number as halvekctl's options take it: decimal, or hexadecimal after 0x.
bool parseNumber(const std::string& text, unsigned long max, unsigned long& value);
std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t perLine = 16);

} // namespace cli
