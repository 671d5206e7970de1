#include "ui/sni/dbus_menu.h"

#include "platform/debug_output.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <systemd/sd-bus.h>

namespace ui::sni {
namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";
// The layout's only parent: the items hang directly from it.
constexpr std::int32_t kRootId = 0;

DbusMenu& menuOf(void* userdata)
{
    return *static_cast<DbusMenu*>(userdata);
}

// The property names a caller asked for; empty means all.
class PropertyFilter {
public:
    ~PropertyFilter()
    {
        if (m_names) {
            for (char** name = m_names; *name; ++name)
                std::free(*name);
            std::free(static_cast<void*>(m_names));
        }
    }
    int read(sd_bus_message* call) { return sd_bus_message_read_strv(call, &m_names); }
    bool wants(std::string_view property) const
    {
        if (!m_names || !*m_names)
            return true;
        for (char** name = m_names; *name; ++name) {
            if (property == *name)
                return true;
        }
        return false;
    }

private:
    char** m_names = nullptr;
};

bool isItem(const DbusMenu::Snapshot& menu, std::int32_t id)
{
    return id > kRootId && static_cast<std::size_t>(id) <= menu.items.size();
}

bool isKnown(const DbusMenu::Snapshot& menu, std::int32_t id)
{
    return id == kRootId || isItem(menu, id);
}

// A menu label marks its access key with "_"; ours have none, so any "_" is doubled.
std::string labelOf(const MenuItemText& item)
{
    std::string label;
    for (const char c : platform::toUtf8(item.text)) {
        label += c;
        if (c == '_')
            label += '_';
    }
    return label;
}

int appendProperties(sd_bus_message* reply, const DbusMenu::Snapshot& menu, std::int32_t id,
                     const PropertyFilter& filter)
{
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (id == kRootId) {
        if (r >= 0 && filter.wants("children-display"))
            r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
    } else {
        const std::string label = labelOf(menu.items[static_cast<std::size_t>(id) - 1]);
        if (r >= 0 && filter.wants("label"))
            r = sd_bus_message_append(reply, "{sv}", "label", "s", label.c_str());
        if (r >= 0 && filter.wants("enabled"))
            r = sd_bus_message_append(reply, "{sv}", "enabled", "b", 1);
        if (r >= 0 && filter.wants("visible"))
            r = sd_bus_message_append(reply, "{sv}", "visible", "b", 1);
    }
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r;
}

// (ia{sv}av): the node, its properties and, `depth` levels down (-1: all), its children.
int appendNode(sd_bus_message* reply, const DbusMenu::Snapshot& menu, std::int32_t id,
               std::int32_t depth, const PropertyFilter& filter)
{
    int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
    if (r >= 0)
        r = sd_bus_message_append(reply, "i", id);
    if (r >= 0)
        r = appendProperties(reply, menu, id, filter);
    if (r >= 0)
        r = sd_bus_message_open_container(reply, 'a', "v");
    if (id == kRootId && depth != 0) {
        for (std::size_t i = 0; r >= 0 && i < menu.items.size(); ++i) {
            r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
            if (r >= 0)
                r = appendNode(reply, menu, static_cast<std::int32_t>(i) + 1,
                               depth > 0 ? depth - 1 : depth, filter);
            if (r >= 0)
                r = sd_bus_message_close_container(reply);
        }
    }
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    return r;
}

int noSuchItem(sd_bus_error* error, std::int32_t id)
{
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "no menu item %d", id);
}

// Sends a reply built by `fill`, or the error its failure means.
template <typename Fill> int reply(sd_bus_message* call, Fill fill)
{
    sd_bus_message* message = nullptr;
    int r = sd_bus_message_new_method_return(call, &message);
    if (r >= 0)
        r = fill(message);
    if (r >= 0)
        r = sd_bus_send(nullptr, message, nullptr);
    sd_bus_message_unref(message);
    return r;
}

int onGetLayout(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::int32_t parent = 0;
    std::int32_t depth = 0;
    PropertyFilter filter;
    int r = sd_bus_message_read(call, "ii", &parent, &depth);
    if (r >= 0)
        r = filter.read(call);
    if (r < 0)
        return r;
    const auto menu = menuOf(userdata).snapshot();
    if (!isKnown(menu, parent))
        return noSuchItem(error, parent);
    return reply(call, [&](sd_bus_message* out) {
        int result = sd_bus_message_append(out, "u", menu.revision);
        if (result >= 0)
            result = appendNode(out, menu, parent, depth, filter);
        return result;
    });
}

int onGetGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const std::int32_t* ids = nullptr;
    std::size_t size = 0;
    PropertyFilter filter;
    int r = sd_bus_message_read_array(call, 'i', reinterpret_cast<const void**>(&ids), &size);
    if (r >= 0)
        r = filter.read(call);
    if (r < 0)
        return r;
    const auto menu = menuOf(userdata).snapshot();
    std::vector<std::int32_t> wanted(ids, ids + size / sizeof(std::int32_t));
    if (wanted.empty()) {
        for (std::int32_t id = kRootId; id <= static_cast<std::int32_t>(menu.items.size()); ++id)
            wanted.push_back(id);
    }
    return reply(call, [&](sd_bus_message* out) {
        int result = sd_bus_message_open_container(out, 'a', "(ia{sv})");
        for (const std::int32_t id : wanted) {
            if (result < 0 || !isKnown(menu, id))
                continue;
            result = sd_bus_message_open_container(out, 'r', "ia{sv}");
            if (result >= 0)
                result = sd_bus_message_append(out, "i", id);
            if (result >= 0)
                result = appendProperties(out, menu, id, filter);
            if (result >= 0)
                result = sd_bus_message_close_container(out);
        }
        if (result >= 0)
            result = sd_bus_message_close_container(out);
        return result;
    });
}

int onGetProperty(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::int32_t id = 0;
    const char* name = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &name);
    if (r < 0)
        return r;
    const auto menu = menuOf(userdata).snapshot();
    if (!isItem(menu, id))
        return noSuchItem(error, id);
    const std::string_view property = name;
    if (property == "label") {
        const std::string label = labelOf(menu.items[static_cast<std::size_t>(id) - 1]);
        return sd_bus_reply_method_return(call, "v", "s", label.c_str());
    }
    if (property == "enabled" || property == "visible")
        return sd_bus_reply_method_return(call, "v", "b", 1);
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "no property %s", name);
}

// True when the event was for a known item (or the root); a click posts the command.
bool handleEvent(DbusMenu& menu, const DbusMenu::Snapshot& items, std::int32_t id,
                 std::string_view event)
{
    if (!isKnown(items, id))
        return false;
    if (event == "clicked" && isItem(items, id)) {
        const auto& item = items.items[static_cast<std::size_t>(id) - 1];
        if (!postMenuCommand(menu.target(), item.name, {}, item.text))
            platform::debugOutput(L"tray menu: the window did not take \"" + item.name + L"\"");
    }
    return true;
}

int onEvent(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::int32_t id = 0;
    const char* event = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &event);
    if (r < 0)
        return r;
    auto& menu = menuOf(userdata);
    if (!handleEvent(menu, menu.snapshot(), id, event))
        return noSuchItem(error, id);
    return sd_bus_reply_method_return(call, nullptr);
}

int onEventGroup(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    auto& menu = menuOf(userdata);
    const auto items = menu.snapshot();
    std::vector<std::int32_t> unknown;
    std::size_t count = 0;
    int r = sd_bus_message_enter_container(call, 'a', "(isvu)");
    while (r >= 0 && (r = sd_bus_message_enter_container(call, 'r', "isvu")) > 0) {
        std::int32_t id = 0;
        const char* event = nullptr;
        r = sd_bus_message_read(call, "is", &id, &event);
        if (r >= 0)
            r = sd_bus_message_skip(call, "vu");
        if (r >= 0)
            r = sd_bus_message_exit_container(call);
        if (r < 0)
            break;
        ++count;
        if (!handleEvent(menu, items, id, event))
            unknown.push_back(id);
    }
    if (r < 0)
        return r;
    if (count > 0 && unknown.size() == count)
        return noSuchItem(error, unknown.front());
    return reply(call, [&](sd_bus_message* out) {
        return sd_bus_message_append_array(out, 'i', unknown.data(),
                                           unknown.size() * sizeof(std::int32_t));
    });
}

int onAboutToShow(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    std::int32_t id = 0;
    const int r = sd_bus_message_read(call, "i", &id);
    if (r < 0)
        return r;
    if (!isKnown(menuOf(userdata).snapshot(), id))
        return noSuchItem(error, id);
    // The layout is always current: the host never needs to ask again.
    return sd_bus_reply_method_return(call, "b", 0);
}

int onAboutToShowGroup(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const std::int32_t* ids = nullptr;
    std::size_t size = 0;
    const int r = sd_bus_message_read_array(call, 'i', reinterpret_cast<const void**>(&ids), &size);
    if (r < 0)
        return r;
    const auto menu = menuOf(userdata).snapshot();
    std::vector<std::int32_t> unknown;
    for (std::size_t i = 0; i < size / sizeof(std::int32_t); ++i) {
        if (!isKnown(menu, ids[i]))
            unknown.push_back(ids[i]);
    }
    return reply(call, [&](sd_bus_message* out) {
        int result = sd_bus_message_append_array(out, 'i', nullptr, 0);
        if (result >= 0)
            result = sd_bus_message_append_array(out, 'i', unknown.data(),
                                                 unknown.size() * sizeof(std::int32_t));
        return result;
    });
}

int getVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
               sd_bus_error*)
{
    return sd_bus_message_append(reply, "u", 3u);
}

int getString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
              sd_bus_error*)
{
    return sd_bus_message_append(reply, "s",
                                 std::string_view(property) == "Status" ? "normal" : "ltr");
}

int getIconThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                     sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 0);
}

const sd_bus_vtable kMenuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", getVersion, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", getString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", getString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", getIconThemePath, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", onGetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", onGetGroupProperties,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", onGetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", onEvent, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", onEventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", onAboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", onAboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END};

} // namespace

platform::Result<void> DbusMenu::exportOn(sd_bus* bus)
{
    const int r = sd_bus_add_object_vtable(bus, nullptr, kPath, kInterface, kMenuVtable, this);
    if (r < 0)
        return platform::makeError(platform::Error::Code::Unavailable,
                                   std::string("tray: exporting the menu: ") + std::strerror(-r));
    return {};
}

std::uint32_t DbusMenu::setItems(std::vector<MenuItemText> items)
{
    std::lock_guard guard(m_lock);
    m_items = std::move(items);
    return ++m_revision;
}

void DbusMenu::announce(sd_bus* bus, std::uint32_t revision)
{
    sd_bus_emit_signal(bus, kPath, kInterface, "LayoutUpdated", "ui", revision, kRootId);
}

DbusMenu::Snapshot DbusMenu::snapshot() const
{
    std::lock_guard guard(m_lock);
    return {m_items, m_revision};
}

} // namespace ui::sni
