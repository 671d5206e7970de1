#include "devsim/keyboard_interfaces.h"

#include "device/usb_ids.h"

#include <algorithm>
#include <array>

namespace devsim {
namespace {

// Modifier bits, a reserved byte and six key slots in; five LED bits out.
constexpr std::uint8_t kBootKeyboard[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,                   // keyboard, application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, // modifiers
    0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,             //
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                   // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, // LEDs
    0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, //
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, // key array
    0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

constexpr std::uint8_t kComposite[] = {
    // 1: keyboard, every key a bit (report 1)
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x19, 0x00, 0x29, 0x77, 0x95, 0x78, 0x81, 0x02,
    0xC0,
    // 2: system control (report 2)
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,
    // 3: consumer control (report 3), one 16-bit usage up to 0x1FFF: the device's own
    // notices (0x10xx, 0x11xx) travel here too
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x1F, 0x19, 0x00, 0x2A,
    0xFF, 0x1F, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
    // 4: vendor command frames (report 4), 63 bytes each way
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x02, 0x95, 0x3F, 0x91, 0x02, 0xC0};

} // namespace

std::span<const std::uint8_t> bootKeyboardDescriptor()
{
    return kBootKeyboard;
}

std::span<const std::uint8_t> compositeDescriptor()
{
    return kComposite;
}

const DeviceModel& keyboardModel()
{
    static const DeviceModel model{
        "keyboard", usb::kKeyboardCableProductId,   usb::kKeyboardReceiverProductId, kBootKeyboard,
        kComposite, [] { return KeyboardMemory(); }};
    return model;
}

KeyboardInterfaces::KeyboardInterfaces(KeyboardLink link, Responder responder,
                                       const DeviceModel& model)
    : m_link(link), m_model(model), m_responder(std::move(responder))
{
    const std::uint16_t product = productId();
    m_boot = std::make_unique<hid::sim::SimInterface>(
        hid::sim::InterfaceIdentity{usb::kHalvekVendorId, product, 0x0100,
                                    usb::kBootKeyboardInterface},
        model.bootDescriptor);
    m_composite = std::make_unique<hid::sim::SimInterface>(
        hid::sim::InterfaceIdentity{usb::kHalvekVendorId, product, 0x0100, usb::kCommandInterface},
        model.compositeDescriptor,
        [this](std::uint32_t collection, std::span<const std::uint8_t> report) {
            if (collection != usb::kCommandCollection)
                return;
            if (m_responder)
                m_responder(report);
            else
                answer(report);
        });
}

KeyboardInterfaces::~KeyboardInterfaces()
{
    unplug();
}

std::uint16_t KeyboardInterfaces::productId() const
{
    return m_link == KeyboardLink::Cable ? m_model.cableProductId : m_model.receiverProductId;
}

void KeyboardInterfaces::plug()
{
    m_boot->plug();
    m_composite->plug();
}

void KeyboardInterfaces::unplug()
{
    m_composite->unplug();
    m_boot->unplug();
}

bool KeyboardInterfaces::sendConsumerUsage(std::uint16_t usage)
{
    const std::array<std::uint8_t, 3> report{usb::kConsumerReportId,
                                             static_cast<std::uint8_t>(usage & 0xFF),
                                             static_cast<std::uint8_t>(usage >> 8)};
    return m_composite->queueInput(report);
}

bool KeyboardInterfaces::sendReply(std::span<const std::uint8_t> frame)
{
    return m_composite->queueInput(frame);
}

void KeyboardInterfaces::answer(std::span<const std::uint8_t> frame)
{
    // The reply echoes report id, checksum and command, and reports success.
    std::array<std::uint8_t, kFrameSize> reply{};
    std::copy_n(frame.begin(), std::min<std::size_t>(4, frame.size()), reply.begin());
    reply[kStatusByte] = kStatusOk;
    m_composite->queueInput(reply);
}

} // namespace devsim
