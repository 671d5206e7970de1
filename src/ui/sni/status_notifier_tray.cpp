// The tray icon as a StatusNotifierItem: an object on the session bus that the panel's
// StatusNotifierWatcher learns about and its host draws. Everything on the bus runs on
// the bus thread; clicks reach the window by postMessage only.
//
// The menu is a D-Bus menu beside the item (dbus_menu.h), drawn by the panel. A host
// that asks for the menu with ContextMenu instead gets it as a right click, and the
// program shows its own menu window at the pointer.

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/linux/bus_thread.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/render.h"
#include "ui/sni/dbus_menu.h"
#include "ui/tray_icon.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <vector>

namespace ui {
namespace {

namespace fs = std::filesystem;

constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr const char* kIconName = "org.halvek.Halvek";
// The name panels list the item by: the program's readable name, whatever the tooltip says.
constexpr const char* kTitle = "Halvek";
constexpr std::uint64_t kCallTimeoutUs = 500'000;
constexpr auto kStartTimeout = std::chrono::milliseconds(1000);
constexpr auto kStopTimeout = std::chrono::milliseconds(1000);

// Where the icon theme holds our icon when it is not installed system-wide: the build
// folder's icons/ or the installed share/icons beside share/halvek.
std::string iconThemePath()
{
    const fs::path program = platform::programFolder();
    std::error_code error;
    for (const auto& candidate : {program / "icons", program.parent_path() / "icons"}) {
        if (fs::is_directory(candidate / "hicolor", error))
            return candidate.string();
    }
    return {};
}

// One size of the icon as the item hands it over: ARGB32, network byte order, straight
// (not premultiplied) alpha.
struct IconPixmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;
};

// The rendered PNG sizes, for hosts that do not look into IconThemePath.
std::vector<IconPixmap> loadIconPixmaps(const std::string& themePath)
{
    std::vector<IconPixmap> pixmaps;
    if (themePath.empty())
        return pixmaps;
    for (const int size : {16, 24, 32, 48, 64}) {
        const auto name = std::to_string(size) + "x" + std::to_string(size);
        const auto image = loadPng(fs::path(themePath) / "hicolor" / name / "apps" /
                                   (std::string(kIconName) + ".png"));
        if (!image || image->pixels.empty())
            continue;
        IconPixmap pixmap{image->width, image->height, {}};
        pixmap.bytes.reserve(image->pixels.size() * 4);
        for (const std::uint32_t pixel : image->pixels) {
            const std::uint32_t alpha = pixel >> 24;
            auto straight = [alpha](std::uint32_t channel) {
                return static_cast<std::uint8_t>(
                    alpha == 0 ? 0 : std::min<std::uint32_t>(255, channel * 255 / alpha));
            };
            pixmap.bytes.push_back(static_cast<std::uint8_t>(alpha));
            pixmap.bytes.push_back(straight((pixel >> 16) & 0xFF));
            pixmap.bytes.push_back(straight((pixel >> 8) & 0xFF));
            pixmap.bytes.push_back(straight(pixel & 0xFF));
        }
        pixmaps.push_back(std::move(pixmap));
    }
    return pixmaps;
}

// What the bus thread's callbacks read. The tooltip changes from the UI thread.
struct ItemState {
    TrayTarget target;
    std::string serviceName;
    std::string themePath;
    std::vector<IconPixmap> pixmaps;
    std::unique_ptr<sni::DbusMenu> menu;
    std::atomic<bool> hasHost{false};
    mutable std::mutex lock;
    std::string tooltip; // guarded by lock

    std::string currentTooltip() const
    {
        std::lock_guard guard(lock);
        return tooltip;
    }
    void post(LPARAM what) const
    {
        platform::postMessage(target.hwnd, target.message, target.iconId, what);
    }
    void setHost(bool present)
    {
        if (hasHost.exchange(present) != present)
            post(kTrayHostChanged);
    }
};

ItemState& stateOf(void* userdata)
{
    return *static_cast<ItemState*>(userdata);
}

int replyEmpty(sd_bus_message* call)
{
    return sd_bus_reply_method_return(call, nullptr);
}

int onActivate(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    stateOf(userdata).post(WM_LBUTTONUP);
    return replyEmpty(call);
}

int onContextMenu(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    stateOf(userdata).post(WM_RBUTTONUP);
    return replyEmpty(call);
}

int onIgnored(sd_bus_message* call, void*, sd_bus_error*)
{
    return replyEmpty(call);
}

int getString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
              void* userdata, sd_bus_error*)
{
    const auto& state = stateOf(userdata);
    const std::string_view name = property;
    std::string value;
    if (name == "Category")
        value = "Hardware";
    else if (name == "Id")
        value = "halvek";
    else if (name == "Title")
        value = kTitle;
    else if (name == "Status")
        value = "Active";
    else if (name == "IconName")
        value = kIconName;
    else if (name == "IconThemePath")
        value = state.themePath;
    return sd_bus_message_append(reply, "s", value.c_str());
}

int getWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                sd_bus_error*)
{
    return sd_bus_message_append(reply, "i", 0);
}

int getItemIsMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*)
{
    return sd_bus_message_append(reply, "b", 0);
}

int getMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
            sd_bus_error*)
{
    return sd_bus_message_append(reply, "o", sni::DbusMenu::kPath);
}

int getNoPixmaps(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                 sd_bus_error*)
{
    return sd_bus_message_append(reply, "a(iiay)", 0);
}

int getIconPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                  void* userdata, sd_bus_error*)
{
    int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
    for (const auto& pixmap : stateOf(userdata).pixmaps) {
        if (r >= 0)
            r = sd_bus_message_open_container(reply, 'r', "iiay");
        if (r >= 0)
            r = sd_bus_message_append(reply, "ii", pixmap.width, pixmap.height);
        if (r >= 0)
            r = sd_bus_message_append_array(reply, 'y', pixmap.bytes.data(), pixmap.bytes.size());
        if (r >= 0)
            r = sd_bus_message_close_container(reply);
    }
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r;
}

int getToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
               void* userdata, sd_bus_error*)
{
    const std::string tooltip = stateOf(userdata).currentTooltip();
    int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
    if (r >= 0)
        r = sd_bus_message_append(reply, "sa(iiay)ss", kIconName, 0, tooltip.c_str(), "");
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r;
}

const sd_bus_vtable kItemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", getString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", getString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", getString, 0, 0),
    SD_BUS_PROPERTY("Status", "s", getString, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", getWindowId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", getString, 0, 0),
    SD_BUS_PROPERTY("IconThemePath", "s", getString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", getIconPixmap, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", getNoPixmaps, 0, 0),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", getToolTip, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", getItemIsMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", getMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", onActivate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", onContextMenu, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", onIgnored, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END};

// Asks the watcher whether a host draws items now. False when there is no watcher.
bool queryHost(sd_bus* bus)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int present = 0;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus, kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties",
                               "Get", &error, &reply, "ss", kWatcherInterface,
                               "IsStatusNotifierHostRegistered");
    if (r >= 0)
        r = sd_bus_message_read(reply, "v", "b", &present);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return r >= 0 && present != 0;
}

// Hands the item to the watcher (again: after a restart of the panel it knows nothing);
// true when a host shows it.
bool registerWithWatcher(sd_bus* bus, const ItemState& state)
{
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_message_new_method_call(bus, &call, kWatcherName, kWatcherPath,
                                           kWatcherInterface, "RegisterStatusNotifierItem");
    if (r >= 0)
        r = sd_bus_message_append(call, "s", state.serviceName.c_str());
    if (r >= 0)
        r = sd_bus_call(bus, call, kCallTimeoutUs, &error, &reply);
    if (r < 0)
        platform::debugOutput(std::string("tray: no notification area (") +
                              (error.message ? error.message : "no watcher") + ")");
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_error_free(&error);
    return r >= 0 && queryHost(bus);
}

int onWatcherOwnerChanged(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) < 0)
        return 0;
    auto& state = stateOf(userdata);
    if (newOwner && newOwner[0] != '\0')
        state.setHost(registerWithWatcher(sd_bus_message_get_bus(message), state));
    else
        state.setHost(false);
    return 0;
}

int onHostRegistered(sd_bus_message*, void* userdata, sd_bus_error*)
{
    stateOf(userdata).setHost(true);
    return 0;
}

int onHostUnregistered(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    // Another host may still run: ask rather than assume.
    stateOf(userdata).setHost(queryHost(sd_bus_message_get_bus(message)));
    return 0;
}

platform::Result<void> failed(const char* what, int r)
{
    return platform::makeError(platform::Error::Code::Unavailable,
                               std::string("tray: ") + what + ": " + std::strerror(-r));
}

platform::Result<void> exportItem(sd_bus* bus, ItemState& state)
{
    int r = sd_bus_add_object_vtable(bus, nullptr, kItemPath, kItemInterface, kItemVtable, &state);
    if (r < 0)
        return failed("exporting the item", r);
    if (auto menu = state.menu->exportOn(bus); !menu)
        return menu.error();
    r = sd_bus_request_name(bus, state.serviceName.c_str(), 0);
    if (r < 0)
        return failed("claiming the item's name", r);
    const std::string ownerRule = std::string("type='signal',sender='org.freedesktop.DBus',"
                                              "interface='org.freedesktop.DBus',"
                                              "member='NameOwnerChanged',arg0='") +
                                  kWatcherName + "'";
    r = sd_bus_add_match(bus, nullptr, ownerRule.c_str(), onWatcherOwnerChanged, &state);
    if (r >= 0)
        r = sd_bus_match_signal(bus, nullptr, nullptr, kWatcherPath, kWatcherInterface,
                                "StatusNotifierHostRegistered", onHostRegistered, &state);
    if (r >= 0)
        r = sd_bus_match_signal(bus, nullptr, nullptr, kWatcherPath, kWatcherInterface,
                                "StatusNotifierHostUnregistered", onHostUnregistered, &state);
    if (r < 0)
        return failed("watching the notification area", r);
    // The window asks for the first answer; only later changes are announced.
    state.hasHost = registerWithWatcher(bus, state);
    return {};
}

class StatusNotifierBackend final : public TrayBackend {
public:
    explicit StatusNotifierBackend(std::string address) : m_address(std::move(address)) {}
    ~StatusNotifierBackend() override { hide(); }

    bool show(const TrayTarget& target, std::wstring_view tooltip) override
    {
        hide();
        auto state = std::make_shared<ItemState>();
        state->target = target;
        state->menu = std::make_unique<sni::DbusMenu>(target.hwnd);
        state->serviceName = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" +
                             std::to_string(target.iconId);
        state->themePath = iconThemePath();
        state->pixmaps = loadIconPixmaps(state->themePath);
        state->tooltip = platform::toUtf8(tooltip);
        // The state lives as long as the bus thread's setup, which holds it.
        auto started = m_bus.start(
            "tray", platform::BusThread::Bus::Session, m_address,
            [state](sd_bus* bus) { return exportItem(bus, *state); },
            [state] { state->setHost(false); }, kStartTimeout);
        if (!started) {
            platform::debugOutput(started.error().message);
            return false;
        }
        m_state = std::move(state);
        return true;
    }

    void setTooltip(std::wstring_view tooltip) override
    {
        if (!m_state)
            return;
        {
            std::lock_guard guard(m_state->lock);
            m_state->tooltip = platform::toUtf8(tooltip);
        }
        m_bus.post([](sd_bus* bus) {
            sd_bus_emit_signal(bus, kItemPath, kItemInterface, "NewToolTip", nullptr);
        });
    }

    void setMenu(const std::vector<MenuItemText>& items) override
    {
        if (!m_state)
            return;
        const std::uint32_t revision = m_state->menu->setItems(items);
        m_bus.post([revision](sd_bus* bus) { sni::DbusMenu::announce(bus, revision); });
    }

    void hide() override
    {
        // Closing the connection drops the name; the watcher forgets the item by that.
        m_bus.stop(kStopTimeout);
        m_state.reset();
    }

    bool hasHost() const override { return m_state && m_state->hasHost.load(); }

private:
    std::string m_address;
    platform::BusThread m_bus;
    std::shared_ptr<ItemState> m_state;
};

} // namespace

std::unique_ptr<TrayBackend> createStatusNotifierBackend(std::string busAddress)
{
    return std::make_unique<StatusNotifierBackend>(std::move(busAddress));
}

} // namespace ui
