#include "keyboard_session.h"

#include "device/detect/device_watcher.h"
#include "device/detect/direct_sink.h"
#include "device/detect/hid_interface_source.h"
#include "device/detect/link_controller.h"
#include "device/model/linked_model.h"
#include "platform/debug_output.h"
#include "platform/hex.h"
#include "platform/text.h"

#include <cstdio>

namespace cli {
namespace {

// The command row a session looks for, by --device: the keyboard's and the mouse's cable
// rows, the mouse pad's and the headset's only rows.
std::string deviceNameOf(detect::DeviceTypeId type)
{
    if (detect::isMouse(type))
        return "mouse";
    if (type == detect::DeviceTypeId::MousePad)
        return "MousePad";
    if (type == detect::DeviceTypeId::Headset)
        return "HD";
    return "keyboard";
}

std::size_t commandRowOf(const std::string& device)
{
    if (device == "mouse")
        return 4;
    if (device == "MousePad")
        return 8;
    if (device == "HD")
        return 10;
    return 0;
}

// The keyboard (or mouse) as the steps see it: a channel and the row it answers for.
// Listeners and state reads are the program's business, not a one-shot command's.
class KeyboardObject final : public detect::LinkedDevice {
public:
    explicit KeyboardObject(std::size_t row) : m_identity(detect::supportedInterfaces()[row]) {}
    CDeviceProtocol& channel() override { return m_channel; }
    const detect::SupportedInterface& identity() const override { return m_identity; }
    void setIdentity(const detect::SupportedInterface& row) override { m_identity = row; }
    bool isWireless() const override
    {
        return m_identity.typeId == detect::DeviceTypeId::MouseCable;
    }
    void openListener(const std::wstring&, detect::DeviceTypeId) override {}
    void closeListener(detect::DeviceTypeId) override {}
    void reReadState() override {}

private:
    CDeviceProtocol m_channel;
    detect::SupportedInterface m_identity;
};

class OneKeyboardHost final : public detect::LinkHost {
public:
    OneKeyboardHost(std::size_t row, model::UsbDeviceModel* model) : keyboard(row)
    {
        if (model)
            linked = std::make_unique<model::LinkedModel>(*model);
    }
    std::vector<detect::LinkedDevice*> devices() override
    {
        if (linked)
            return {linked.get()};
        return {&keyboard};
    }
    detect::LinkedDevice& device()
    {
        return linked ? static_cast<detect::LinkedDevice&>(*linked) : keyboard;
    }
    void ensureDevice(std::size_t) override {}
    void channelOpened(detect::LinkedDevice&, bool onCable) override { cable = onCable; }
    void channelClosed(detect::LinkedDevice&) override {}
    void switchedLink(detect::LinkedDevice&, bool toReceiver) override { cable = !toReceiver; }
    void bringForward() override {}

    KeyboardObject keyboard;
    std::unique_ptr<model::LinkedModel> linked;
    bool cable = true;
};

} // namespace

struct KeyboardSession::Detection {
    Detection(std::size_t row, model::UsbDeviceModel* model) : host(row, model) {}

    detect::InterfaceTable table;
    detect::HidInterfaceSource source;
    OneKeyboardHost host;
    detect::LinkController controller{table, host};
    detect::DirectSink sink{controller};
    detect::DeviceWatcher watcher{table, source, sink};
};

KeyboardSession::KeyboardSession(const GlobalOptions& options, std::string commandName)
    : m_options(options), m_name(std::move(commandName))
{
    platform::clearDebugLines();
}

KeyboardSession::KeyboardSession(const GlobalOptions& options, std::string commandName,
                                 model::UsbDeviceModel& device)
    : KeyboardSession(options, std::move(commandName))
{
    m_device = &device;
}

KeyboardSession::~KeyboardSession()
{
    close();
    flushTrace();
}

void KeyboardSession::close()
{
    if (m_detection)
        m_detection->host.device().channel().closeLinks();
}

void KeyboardSession::flushTrace()
{
    if (!m_options.trace)
        return;
    for (const auto& line : platform::debugLines())
        std::printf("%s\n", platform::toUtf8(line).c_str());
    platform::clearDebugLines();
}

bool KeyboardSession::open()
{
    // The device looked for is the device object's, else --device; it is also the one emulated.
    GlobalOptions options = m_options;
    if (m_device)
        options.device = deviceNameOf(m_device->identity().typeId);
    bool attached = true;
    m_simulation = attachSimulation(options, attached);
    if (!attached) {
        m_exitStatus = 2;
        return false;
    }
    m_detection = std::make_unique<Detection>(commandRowOf(options.device), m_device);
    platform::Event stop{platform::Event::ResetPolicy::Manual};
    m_detection->watcher.runPass(stop);
    const auto problems = detect::onePerNode(m_detection->table.permissionProblems());
    if (!channel().isOpen()) {
        for (const auto& problem : problems)
            std::fprintf(stderr, "halvekctl %s: no %s opened: %s\n", m_name.c_str(),
                         options.device.c_str(), detect::describe(problem).c_str());
        if (problems.empty())
            std::fprintf(stderr, "halvekctl %s: no %s found: %s\n", m_name.c_str(),
                         options.device.c_str(), whyNotFound(options.device).c_str());
        m_exitStatus = 1;
        return false;
    }
    // Opened another way than the one refused (the receiver for a cable the user may not
    // open): the command runs, and the user learns what it could not use.
    for (const auto& problem : problems)
        std::fprintf(stderr, "halvekctl %s: %s\n", m_name.c_str(),
                     detect::describe(problem).c_str());
    m_refusedLink = !problems.empty();
    return true;
}

std::string KeyboardSession::whyNotFound(const std::string& device) const
{
    if (m_simulation)
        if (auto absent = m_simulation->absence())
            return *absent;
    for (const auto& row : m_detection->table.rows()) {
        if (row.present && row.role == detect::InterfaceRole::Command &&
            deviceNameOf(row.typeId) == device)
            return "its command interface " + platform::toUtf8(row.path) +
                   " is there but could not be opened";
    }
    return "none of its interfaces is present (is it plugged in?)";
}

CDeviceProtocol& KeyboardSession::channel()
{
    return m_detection->host.device().channel();
}

bool KeyboardSession::onReceiver()
{
    return channel().isReceiverMode();
}

int KeyboardSession::fail(const std::string& what, protocol::Status status) const
{
    // Who holds the device is what the user needs to know, more than the code.
    const std::string why = status == protocol::Status::DeviceHeld && m_detection
                                ? m_detection->host.device().channel().refusal()
                                : protocol::describe(status);
    std::fprintf(stderr, "halvekctl %s: %s failed: %s\n", m_name.c_str(), what.c_str(),
                 why.c_str());
    return 1;
}

bool parseNumber(const std::string& text, unsigned long max, unsigned long& value)
{
    if (text.empty())
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) {
        const auto parsed = platform::parseHex(std::string_view(text).substr(2), max);
        if (!parsed)
            return false;
        value = static_cast<unsigned long>(*parsed);
        return true;
    }
    unsigned long result = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + static_cast<unsigned long>(c - '0');
        if (result > max)
            return false;
    }
    value = result;
    return true;
}

std::string hexBytes(std::span<const std::uint8_t> bytes, std::size_t perLine)
{
    std::string text;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02x", bytes[i]);
        text += cell;
        text += (i + 1) % perLine == 0 || i + 1 == bytes.size() ? '\n' : ' ';
    }
    return text;
}

} // namespace cli
