#pragma once

// An emulated device's HID interfaces on one link (its own cable or its receiver): the
// boot keyboard (or mouse) on interface 0, and the composite interface 1 with the consumer
// collection 3 and the vendor command collection 4. Command frames go to the responder;
// without one, every frame gets a success echo (enough for tests of the HID layer).

#include "devsim/device_model.h"

#include "device/hid/sim/sim_interface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace devsim {

enum class KeyboardLink { Cable, Receiver };

std::span<const std::uint8_t> bootKeyboardDescriptor();
std::span<const std::uint8_t> compositeDescriptor();

class KeyboardInterfaces {
public:
    static constexpr std::size_t kFrameSize = 64;
    static constexpr std::size_t kStatusByte = 7;
    static constexpr std::uint8_t kStatusOk = 1;

    // Runs on the host's writing thread with each command frame.
    using Responder = std::function<void(std::span<const std::uint8_t> frame)>;

    explicit KeyboardInterfaces(KeyboardLink link, Responder responder = {},
                                const DeviceModel& model = keyboardModel());
    // Unplugs first, while the responder's interfaces are all still whole.
    ~KeyboardInterfaces();
    KeyboardInterfaces(const KeyboardInterfaces&) = delete;
    KeyboardInterfaces& operator=(const KeyboardInterfaces&) = delete;

    void plug();
    void unplug();

    KeyboardLink link() const { return m_link; }
    std::uint16_t productId() const;
    hid::sim::SimInterface& bootInterface() { return *m_boot; }
    hid::sim::SimInterface& compositeInterface() { return *m_composite; }

    // Sends a consumer usage, as the keyboard does when something changed on it.
    bool sendConsumerUsage(std::uint16_t usage);
    // Hands a reply frame to the open command connections.
    bool sendReply(std::span<const std::uint8_t> frame);

private:
    void answer(std::span<const std::uint8_t> frame);

    KeyboardLink m_link;
    const DeviceModel& m_model;
    Responder m_responder;
    std::unique_ptr<hid::sim::SimInterface> m_boot;
    std::unique_ptr<hid::sim::SimInterface> m_composite;
};

} // namespace devsim
