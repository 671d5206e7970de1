#pragma once

// An emulated device (the keyboard, the mouse): its memory and command handling, reached
// through its own cable and through its 2.4 GHz receiver, each a set of simulated HID
// interfaces that can be plugged and unplugged. The receiver forwards to the device while it
// is awake and answers for it with 0xAA in byte 3 while it sleeps. Faults and USB timing are
// applied where a real link would show them. The DeviceModel says which device it is.

#include "devsim/command_handler.h"
#include "devsim/device_model.h"
#include "devsim/faults.h"
#include "devsim/keyboard_interfaces.h"
#include "devsim/keyboard_memory.h"
#include "devsim/usb_timing.h"

#include "device/protocol/frame.h"
#include "platform/event.h"

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace devsim {

// Consumer usages the devices send when something changed on them.
inline constexpr std::uint16_t kUsageSync = 0x0401;
inline constexpr std::uint16_t kUsageSyncProfile = 0x0402;
inline constexpr std::uint16_t kUsageNotice = 0x1000;    // low 4 bits: active slot
inline constexpr std::uint16_t kUsageNoticeTwo = 0x1100; // bits 4-7: a second value

class EmulatedDevice {
public:
    // Unplugged, in its factory state; plug the links a test or the program wants. The model
    // must outlive the device.
    explicit EmulatedDevice(const DeviceModel& model);
    // Unplugs both links first, so no handler runs while the device goes.
    virtual ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    const DeviceModel& model() const { return m_model; }

    void plug(KeyboardLink link);
    void unplug(KeyboardLink link);
    bool isPlugged(KeyboardLink link) const;
    KeyboardInterfaces& interfaces(KeyboardLink link);
    std::wstring commandPath(KeyboardLink link) const;
    std::wstring consumerPath(KeyboardLink link) const;

    // Asleep, the device cannot be reached through its receiver; the cable still works.
    void setAsleep(bool asleep);
    bool isAsleep() const;

    // A consumer usage on the link the device talks through: the cable when plugged, else
    // the receiver while awake. False when neither can carry it.
    bool sendConsumerUsage(std::uint16_t usage);
    // The on-device profile switch: the active slot changes and the host is told.
    bool switchProfile(std::uint8_t slot);

    // The next requests get these faults, one each, then none again.
    void injectFaults(std::initializer_list<Fault> faults);
    void injectFault(Fault fault);
    void clearFaults();
    // Sends the replies held back by Fault::Late now.
    void releaseLateReplies();
    // Auto-reset: set each time a request has been handled.
    platform::Event& requestArrived() { return m_requestArrived; }

    void setUsbTiming(bool enabled);
    UsbTiming& usbTiming(KeyboardLink link);

    // What the device has been sent, for tests.
    std::vector<protocol::Frame> received() const;
    std::vector<std::uint8_t> commandsReceived() const;
    std::size_t badChecksums() const;
    void clearReceived();
    // Who sent each request, oldest first, since the last call: the thread that handed it
    // over, numbered from 1 as threads first appear. The device server gives each connection
    // a thread of its own, so there the numbers tell the programs apart. The last
    // kSenderLogSize requests are kept.
    struct SentRequest {
        int sender = 0;
        std::uint8_t command = 0;
    };
    static constexpr std::size_t kSenderLogSize = 4096;
    std::vector<SentRequest> takeSenders();
    bool hostLighting() const;
    bool isInSequence() const;

    // The memory in effect (what End applied, or writes outside a sequence).
    KeyboardMemory memory() const;
    std::vector<std::uint8_t> area(Area area) const;
    void setArea(Area area, std::size_t offset, std::span<const std::uint8_t> bytes);
    void setMemory(const KeyboardMemory& memory);

private:
    struct Delivery {
        std::vector<protocol::Frame> replies;
        Fault fault = Fault::None;
    };

    void onFrame(KeyboardLink link, std::span<const std::uint8_t> report);
    Delivery answer(KeyboardLink link, const protocol::Frame& request);
    void noteSender(std::uint8_t command); // under m_lock
    void deliver(KeyboardLink link, std::span<const protocol::Frame> replies, std::int64_t after);
    static std::size_t index(KeyboardLink link) { return static_cast<std::size_t>(link); }

    const DeviceModel& m_model;
    mutable std::mutex m_lock; // everything below but the links and timing
    KeyboardMemory m_memory;
    CommandHandler m_handler{m_memory};
    FaultScript m_faults;
    std::vector<protocol::Frame> m_received;
    std::vector<std::thread::id> m_senderThreads; // index + 1 is the sender's number
    std::deque<SentRequest> m_senders;
    std::vector<std::pair<KeyboardLink, protocol::Frame>> m_late;
    bool m_asleep = false;
    platform::Event m_requestArrived{platform::Event::ResetPolicy::Automatic};

    std::array<UsbTiming, 2> m_timing;
    std::array<std::unique_ptr<KeyboardInterfaces>, 2> m_links;
};

} // namespace devsim
