#include "devices_watch.h"

#include "simulation.h"
#include "watch_loop.h"

#include "device/detect/device_watcher.h"
#include "device/detect/hid_interface_source.h"
#include "device/detect/link_controller.h"
#include "device/detect/window_sink.h"
#include "device/protocol/device_protocol.h"
#include "platform/message_queue.h"
#include "platform/text.h"

#include <cstdio>
#include <memory>
#include <string>

namespace cli {
namespace {

std::string typeName(detect::DeviceTypeId type)
{
    switch (type) {
    case detect::DeviceTypeId::KeyboardCable:
        return "keyboard (cable)";
    case detect::DeviceTypeId::KeyboardReceiver:
        return "keyboard (receiver)";
    case detect::DeviceTypeId::MouseCable:
        return "mouse (cable)";
    case detect::DeviceTypeId::MouseReceiver:
        return "mouse (receiver)";
    case detect::DeviceTypeId::MousePad:
        return "mouse pad";
    case detect::DeviceTypeId::Headset:
        return "headset";
    }
    return "device";
}

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class WatchedDevice : public detect::LinkedDevice {
public:
    WatchedDevice(std::string name, const detect::SupportedInterface& identity, bool wireless)
        : m_name(std::move(name)), m_identity(identity), m_wireless(wireless)
    {
    }

    const std::string& name() const { return m_name; }
    CDeviceProtocol& channel() override { return m_channel; }
    const detect::SupportedInterface& identity() const override { return m_identity; }
    void setIdentity(const detect::SupportedInterface& row) override { m_identity = row; }
    bool isWireless() const override { return m_wireless; }
    void openListener(const std::wstring&, detect::DeviceTypeId kind) override
    {
        say("  " + m_name + ": listening to " + typeName(kind) + " reports");
    }
    void closeListener(detect::DeviceTypeId kind) override
    {
        say("  " + m_name + ": stopped listening to " + typeName(kind) + " reports");
    }
    void reReadState() override {}

private:
    std::string m_name;
    CDeviceProtocol m_channel;
    detect::SupportedInterface m_identity;
    bool m_wireless;
};

class PrintingHost : public detect::LinkHost {
public:
    explicit PrintingHost(const detect::InterfaceTable& table) : m_table(table) {}

    std::vector<detect::LinkedDevice*> devices() override
    {
        std::vector<detect::LinkedDevice*> result;
        for (auto& device : m_devices)
            result.push_back(device.get());
        return result;
    }

    void ensureDevice(std::size_t row) override
    {
        const auto* type = detect::deviceTypeForRow(row);
        if (!type)
            return;
        for (const auto& device : m_devices) {
            if (device->name() == platform::toUtf8(type->typeWord))
                return;
        }
        // The identity is the type's command row, as the device object gets it at creation.
        const auto rows = m_table.rows();
        for (const auto& candidate : rows) {
            if (candidate.vendorId == type->vendorId && candidate.productId == type->productId &&
                candidate.typeId == type->typeId && candidate.role == type->role) {
                const auto& description = detect::deviceDescriptions()[type->descriptionRow];
                m_devices.push_back(std::make_unique<WatchedDevice>(
                    platform::toUtf8(type->typeWord), candidate, description.wireless));
                return;
            }
        }
    }

    void channelOpened(detect::LinkedDevice& device, bool onCable) override
    {
        say("  " + nameOf(device) + ": channel open on the " + (onCable ? "cable" : "receiver") +
            chunks(device));
    }
    void channelClosed(detect::LinkedDevice& device) override
    {
        say("  " + nameOf(device) + ": channel closed");
    }
    void switchedLink(detect::LinkedDevice& device, bool toReceiver) override
    {
        say("  " + nameOf(device) + ": switched to the " + (toReceiver ? "receiver" : "cable") +
            chunks(device));
    }
    void bringForward() override {}

private:
    static std::string nameOf(detect::LinkedDevice& device)
    {
        return static_cast<WatchedDevice&>(device).name();
    }
    static std::string chunks(detect::LinkedDevice& device)
    {
        return " (" + std::to_string(device.channel().chunkSize()) + "-byte chunks)";
    }

    const detect::InterfaceTable& m_table;
    std::vector<std::unique_ptr<WatchedDevice>> m_devices;
};

} // namespace

int watchDevices(const GlobalOptions& options, const std::vector<std::string>& args)
{
    long seconds = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--watch")
            continue;
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            try {
                seconds = std::stol(args[++i]);
            } catch (...) {
                seconds = -1;
            }
            if (seconds <= 0) {
                std::fputs("halvekctl devices: --seconds takes a positive number\n", stderr);
                return 2;
            }
            continue;
        }
        std::fprintf(stderr, "halvekctl devices: unexpected argument '%s'\n", args[i].c_str());
        return 2;
    }
    bool ok = true;
    const auto simulation = attachSimulation(options.simulate, ok);
    if (!ok)
        return 2;

    detect::InterfaceTable table;
    detect::HidInterfaceSource source;
    PrintingHost host(table);
    detect::LinkController controller(table, host);

    auto& queue = platform::MessageQueue::current();
    const HWND window = queue.createWindow([&](HWND, UINT message, WPARAM wParam, LPARAM) {
        const auto describe = [&](char sign) {
            const auto row = table.row(wParam);
            say(std::string(1, sign) + " row " + std::to_string(wParam) + "  " +
                typeName(row.typeId) + "  " +
                (row.role == detect::InterfaceRole::Command ? "command" : "consumer") + "  " +
                platform::toUtf8(row.path));
        };
        if (message == detect::kMsgInterfaceArrived) {
            describe('+');
            controller.arrival(wParam);
        } else if (message == detect::kMsgInterfaceRemoved) {
            say("- row " + std::to_string(wParam) + "  " + typeName(table.row(wParam).typeId));
            controller.removal(wParam);
        }
        return LRESULT{0};
    });
    detect::WindowSink sink(window, 0);
    detect::DeviceWatcher watcher(table, source, sink);
    return runWatchLoop({"halvekctl devices", "watching for devices", seconds}, window, watcher);
}

} // namespace cli
