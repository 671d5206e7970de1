#pragma once

// A keyboard's command interface seen from the device side, on a simulated HID interface:
// enough memory and behaviour to answer every command, plus faults on demand. It checks
// every frame's checksum itself and keeps every frame it received.

#include "device/hid/sim/sim_interface.h"
#include "device/protocol/frame.h"
#include "platform/event.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class FakeDevice {
public:
    // How the device answers one request.
    enum class Reply {
        Normal,
        Lost,            // no answer at all
        StaleThenAnswer, // an answer to another command first, then the right one
        AaThenAnswer,    // a receiver's "unreachable" mark first, then the right answer
        StaleTwice,      // two answers to another command
        StaleTwiceFF,    // the same, the second carrying 0xFF in the status byte
        StatusFF,
        StatusFE,
        UnplugBeforeReply, // the request arrives, then the device is gone
        Deferred,          // the answer waits for releaseDeferred()
    };

    // inputReportLength (report id included) other than 64 makes a device whose replies
    // are not frames of this protocol.
    explicit FakeDevice(std::size_t inputReportLength = protocol::kFrameSize);
    ~FakeDevice();

    std::wstring path() const;
    void unplug();

    // The next requests get these replies, one each, then Normal again.
    void script(std::initializer_list<Reply> replies);
    // The receiver answers 0xAA in byte 3 for a device it cannot reach.
    void setAsleep(bool asleep);
    // While held, writes wait as on a device that does not take its reports.
    void holdWrites(bool held);

    // Sends the answers held back by Reply::Deferred.
    void releaseDeferred();
    // Auto-reset: set each time a request has arrived.
    platform::Event& requestArrived() { return m_requestArrived; }

    std::vector<protocol::Frame> received() const;
    std::vector<std::uint8_t> commandsReceived() const;
    std::size_t badChecksums() const;
    void clearReceived();

    // Device memory, one 64 KiB space per block; reads and writes of a block share one.
    std::vector<std::uint8_t> memory(std::uint8_t command) const;
    void setMemory(std::uint8_t command, std::size_t offset, std::span<const std::uint8_t> bytes);

private:
    void onOutput(std::span<const std::uint8_t> report);
    void queue(protocol::Frame reply);
    std::vector<std::uint8_t>& space(std::uint8_t command);

    mutable std::mutex m_lock;
    std::deque<Reply> m_script;
    bool m_asleep = false;
    std::vector<protocol::Frame> m_received;
    std::size_t m_badChecksums = 0;
    std::map<std::uint8_t, std::vector<std::uint8_t>> m_memory;
    std::vector<protocol::Frame> m_deferred;
    platform::Event m_requestArrived{platform::Event::ResetPolicy::Automatic};
    hid::sim::SimInterface m_interface;
};
