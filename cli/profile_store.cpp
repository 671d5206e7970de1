#include "profile_store.h"

#include "pages/models/profile_panel_model.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "profile/json_file.h"
#include "profile/light_presets.h"

#include <cstdio>

namespace cli {
namespace {

struct KnownDevice {
    const char* name;
    detect::DeviceKind kind;
};
constexpr KnownDevice kDevices[] = {{"keyboard", detect::DeviceKind::Keyboard},
                                    {"mouse", detect::DeviceKind::Mouse},
                                    {"MousePad", detect::DeviceKind::MousePad},
                                    {"HD", detect::DeviceKind::Headset}};

std::string& defaultDevice()
{
    static std::string name = "keyboard";
    return name;
}

} // namespace

void setDefaultDevice(std::string name)
{
    defaultDevice() = std::move(name);
}

std::optional<std::string> knownDeviceName(const std::string& name)
{
    for (const auto& known : kDevices) {
        if (platform::equalsIgnoreCase(platform::fromUtf8(name), platform::fromUtf8(known.name)))
            return std::string(known.name);
    }
    return std::nullopt;
}

int storedKind(const DeviceStore& store)
{
    return pages::storedDeviceKind(store.kind);
}

void reportNotices(const std::vector<std::string>& notices, std::size_t from)
{
    for (std::size_t i = from; i < notices.size(); ++i)
        std::fprintf(stderr, "halvekctl: %s\n", notices[i].c_str());
}

int refuse(const std::string& message)
{
    std::fprintf(stderr, "halvekctl: %s\n", message.c_str());
    return 1;
}

int usage(const std::string& message)
{
    std::fprintf(stderr, "halvekctl: %s (see --help)\n", message.c_str());
    return 2;
}

std::optional<DeviceStore> takeStoreOptions(std::vector<std::string>& args)
{
    std::filesystem::path dataDir =
        platform::userDataFolder() / std::wstring(platform::kInstanceIdentifier);
    std::string device = defaultDevice();
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] != "--data-dir" && args[i] != "--device") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            usage(args[i] + " needs a value");
            return std::nullopt;
        }
        if (args[i] == "--data-dir")
            dataDir = args[i + 1];
        else
            device = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    }
    for (const auto& known : kDevices) {
        if (platform::equalsIgnoreCase(platform::fromUtf8(device),
                                       platform::fromUtf8(known.name))) {
            DeviceStore store;
            store.deviceName = known.name;
            store.kind = known.kind;
            store.folder = dataDir / known.name;
            store.factoryFile = platform::programFolder() / "DefaultData" /
                                (std::string(known.name) + profile::kProfileExtension);
            return store;
        }
    }
    usage("unknown device '" + device + "': keyboard, mouse, MousePad or HD");
    return std::nullopt;
}

void openProfiles(const DeviceStore& store, profile::ProfileList& list)
{
    list.SetDeviceKind(storedKind(store));
    list.SetPaths(store.folder, store.factoryFile);
    list.InitProfiles();
    reportNotices(list.setAsideNotices());
}

bool loadSelectedProfile(const DeviceStore& store, profile::CBasicProfiledata& record)
{
    profile::ProfileList list;
    openProfiles(store, list);
    if (!list.isReadable()) {
        refuse(platform::toUtf8(
            pages::refusalMessage(profile::ProfileList::Refusal::ListUnreadable)->englishText()));
        return false;
    }
    const auto path = profile::fileInFolder(
        store.folder, platform::toUtf8(list.GetCurrentProfileId()), profile::kProfileExtension);
    if (!path) {
        refuse("the selected profile has no usable file name");
        return false;
    }
    record.SetDefaultPath(store.factoryFile);
    record.SetProfilePath(*path);
    record.SetConfigPath(store.folder / profile::kCustomLightListName);
    record.LoadProfileFile(*path);
    return true;
}

} // namespace cli
