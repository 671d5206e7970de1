#pragma once

#include <cstdint>
#include <string>

namespace protocol {

// The result of every channel command. The numbers reach trace lines, halvekctl messages and
// the device objects' tests for exactly Ok, so they never change.
enum class Status : std::int32_t {
    Ok = 1,
    NoReply = 0,           // channel not open, or a read failed or timed out
    WriteFailed = -1,      // the request's write failed or timed out; nothing was read
    ReceiverAsleep = -101, // the receiver answered for a device it cannot reach
    DeviceErrorFF = -102,  // the device put 0xFF in the reply's status byte
    DeviceErrorFE = -103,  // the device put 0xFE in the reply's status byte
    BankRefused = -201,    // a key-map bank other than 0 was asked for
    NothingToWrite = -202, // the device reports no key slots: a key map would be empty
    NotSupported = -203,   // the device has no such feature; nothing was sent
    DeviceHeld = -301,     // another program held the device for longer than we wait
};

[[nodiscard]] constexpr std::int32_t code(Status status)
{
    return static_cast<std::int32_t>(status);
}

// A short English description with the code, e.g. "device answered 0xFF (-102)".
[[nodiscard]] std::string describe(Status status);

} // namespace protocol
