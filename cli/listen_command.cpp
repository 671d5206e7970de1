// `listen`: the device's own reports as the listener decodes them, until interrupted.

#include "command_registry.h"
#include "simulation.h"
#include "watch_loop.h"

#include "device/detect/device_watcher.h"
#include "device/detect/hid_interface_source.h"
#include "device/detect/link_controller.h"
#include "device/detect/window_sink.h"
#include "device/model/report_listener.h"
#include "device/protocol/device_protocol.h"
#include "platform/message_queue.h"
#include "platform/text.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr const char* kUsage =
    R"(Usage: halvekctl [--simulate[=MODE]] listen [--seconds N] [--control LINE]...

Finds the devices' consumer-control interfaces (cable and receiver) the way the program
does, listens to them and prints each report as it is decoded: synchronisation requests
(the device changed something itself: Win-lock, lighting keys ...), profile slot notices
and codes the program ignores. Runs until Ctrl+C.

  --seconds N     stop after N seconds
  --control LINE  with --simulate: once listening, give the emulated keyboard this control
                  line (as halvek-devsim takes them: "report 0401", "profile 3",
                  "unplug cable" ...); may be repeated
)";

// Posted by the listener threads: wParam the code, lParam the link.
constexpr UINT kMsgReport = WM_APP + 1;
constexpr UINT kMsgListening = WM_APP + 2;

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string describe(const model::ConsumerReport& report)
{
    const std::string where = report.link == model::ListenerLink::Cable ? "cable" : "receiver";
    const std::string head = where + "    " + hex4(report.code) + "  ";
    switch (report.action) {
    case model::ConsumerAction::Sync:
        return head + "sync requested: the device changed a setting itself";
    case model::ConsumerAction::SyncWithProfile:
        return head + "sync requested, with the profile";
    case model::ConsumerAction::SlotNotice:
        return head + "profile slot " + std::to_string(report.activeSlot);
    case model::ConsumerAction::SlotValueNotice:
        return head + "profile slot " + std::to_string(report.activeSlot) + ", value " +
               std::to_string(report.secondValue);
    case model::ConsumerAction::Ignore:
        break;
    }
    return head + "(not in the table: ignored)";
}

model::ListenerLink linkOf(detect::DeviceTypeId kind)
{
    return detect::isReceiverType(kind) ? model::ListenerLink::Receiver
                                        : model::ListenerLink::Cable;
}

// A device as far as listening goes: its two listeners, whose reports are posted to the
// window, and the channel the steps expect.
class ListeningDevice final : public detect::LinkedDevice {
public:
    // `index` comes back with each report, so the printing side can name the device.
    ListeningDevice(std::string name, const detect::SupportedInterface& identity, HWND window,
                    std::size_t index)
        : m_name(std::move(name)),
          m_identity(identity), m_listeners{
                                    makeListener(model::ListenerLink::Cable, window, index),
                                    makeListener(model::ListenerLink::Receiver, window, index)}
    {
    }

    const std::string& name() const { return m_name; }
    CDeviceProtocol& channel() override { return m_channel; }
    const detect::SupportedInterface& identity() const override { return m_identity; }
    void setIdentity(const detect::SupportedInterface& row) override { m_identity = row; }
    bool isWireless() const override { return false; }
    void openListener(const std::wstring& path, detect::DeviceTypeId kind) override
    {
        const bool opened = listener(kind).open(path);
        say(m_name + ": " +
            (opened ? "listening on the " : "cannot open the consumer interface of the ") +
            where(kind));
    }
    void closeListener(detect::DeviceTypeId kind) override
    {
        (void)listener(kind).close();
        say(m_name + ": stopped listening on the " + where(kind));
    }
    void reReadState() override {}

private:
    static std::unique_ptr<model::ReportListener> makeListener(model::ListenerLink link,
                                                               HWND window, std::size_t index)
    {
        // The listener's thread only posts; the window's thread prints.
        return std::make_unique<model::ReportListener>(
            link, [window, index](const model::ConsumerReport& report) {
                platform::postMessage(
                    window, kMsgReport, report.code,
                    static_cast<LPARAM>(index << 8 | static_cast<std::size_t>(report.link)));
            });
    }
    static std::string where(detect::DeviceTypeId kind)
    {
        return detect::isReceiverType(kind) ? "receiver" : "cable";
    }
    model::ReportListener& listener(detect::DeviceTypeId kind)
    {
        return *m_listeners[linkOf(kind) == model::ListenerLink::Cable ? 0 : 1];
    }

    std::string m_name;
    detect::SupportedInterface m_identity;
    CDeviceProtocol m_channel;
    std::array<std::unique_ptr<model::ReportListener>, 2> m_listeners;
};

class ListeningHost final : public detect::LinkHost {
public:
    ListeningHost(const detect::InterfaceTable& table, HWND window)
        : m_table(table), m_window(window)
    {
    }

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
        const std::string name = platform::toUtf8(type->typeWord);
        for (const auto& device : m_devices) {
            if (device->name() == name)
                return;
        }
        for (const auto& candidate : m_table.rows()) {
            if (candidate.vendorId == type->vendorId && candidate.productId == type->productId &&
                candidate.typeId == type->typeId && candidate.role == type->role) {
                m_devices.push_back(
                    std::make_unique<ListeningDevice>(name, candidate, m_window, m_devices.size()));
                return;
            }
        }
    }
    void channelOpened(detect::LinkedDevice&, bool) override {}
    void channelClosed(detect::LinkedDevice&) override {}
    void switchedLink(detect::LinkedDevice&, bool) override {}
    void bringForward() override {}

    // Listeners stop before the window their reports go to.
    void closeAll() { m_devices.clear(); }

    std::string nameOf(std::size_t index) const
    {
        return index < m_devices.size() ? m_devices[index]->name() : "device";
    }

private:
    const detect::InterfaceTable& m_table;
    HWND m_window;
    std::vector<std::unique_ptr<ListeningDevice>> m_devices;
};

int listen(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    long seconds = 0;
    std::vector<std::string> controls;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            try {
                seconds = std::stol(args[++i]);
            } catch (...) {
                seconds = -1;
            }
            if (seconds <= 0) {
                std::fputs("halvekctl listen: --seconds takes a positive number\n", stderr);
                return 2;
            }
        } else if (args[i] == "--control" && i + 1 < args.size()) {
            controls.push_back(args[++i]);
        } else {
            std::fprintf(stderr, "halvekctl listen: unexpected argument '%s'\n", args[i].c_str());
            return 2;
        }
    }
    if (!controls.empty() && options.simulate.empty()) {
        std::fputs("halvekctl listen: --control drives the emulated keyboard: add --simulate\n",
                   stderr);
        return 2;
    }
    bool ok = true;
    const auto simulation = cli::attachSimulation(options, ok);
    if (!ok)
        return 2;

    auto& queue = platform::MessageQueue::current();
    detect::InterfaceTable table;
    detect::HidInterfaceSource source;
    std::unique_ptr<ListeningHost> host;
    std::unique_ptr<detect::LinkController> controller;
    const HWND window = queue.createWindow([&](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == detect::kMsgInterfaceArrived) {
            controller->arrival(wParam);
        } else if (message == detect::kMsgInterfaceRemoved) {
            controller->removal(wParam);
        } else if (message == kMsgReport) {
            // Keyboard and mouse share the codes: the line must say whose report it is.
            const auto packed = static_cast<std::size_t>(lParam);
            say(host->nameOf(packed >> 8) + ": " +
                describe(
                    model::decodeConsumerUsage(static_cast<std::uint16_t>(wParam),
                                               static_cast<model::ListenerLink>(packed & 0xFF))));
        } else if (message == kMsgListening) {
            for (const auto& line : controls) {
                const auto answer = simulation->control(line);
                if (!answer)
                    say("control \"" + line + "\": " + answer.error().message);
                else if (answer->rfind("error:", 0) == 0)
                    say("control \"" + line + "\": " + *answer);
            }
        }
        return LRESULT{0};
    });
    host = std::make_unique<ListeningHost>(table, window);
    controller = std::make_unique<detect::LinkController>(table, *host);
    detect::WindowSink sink(window, kMsgListening);
    detect::DeviceWatcher watcher(table, source, sink);
    const int status = cli::runWatchLoop(
        {"halvekctl listen", "listening for device reports", seconds}, window, watcher);
    if (status != 0)
        return status;
    host->closeAll();
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "listen",
    "print the device's own reports (profile switches, sync requests) as they come",
    kUsage,
    listen,
});

} // namespace
