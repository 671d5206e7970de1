#pragma once

#include "device/detect/supported_interfaces.h"
#include "profile/profile_data.h"
#include "profile/profile_list.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// One device kind's stored data as the GUI keeps it: its user data folder and its
// factory profile, chosen by --data-dir and --device.
struct DeviceStore {
    std::string deviceName; // "keyboard", "mouse", "MousePad", "HD"
    detect::DeviceKind kind = detect::DeviceKind::Keyboard;
    std::filesystem::path folder;      // user data folder of the device
    std::filesystem::path factoryFile; // DefaultData/<device>.Json
};

// The device a command's --device defaults to: halvekctl's own --device, else "keyboard".
void setDefaultDevice(std::string name);
// The device's name as the store spells it ("mouse" for "Mouse"); nullopt for no device.
std::optional<std::string> knownDeviceName(const std::string& name);

// The number the store's files know the kind by (the profile list, the macro index file).
int storedKind(const DeviceStore& store);

// Takes --data-dir DIR and --device NAME out of `args` wherever they are. Prints the
// problem and returns nullopt on a bad option.
std::optional<DeviceStore> takeStoreOptions(std::vector<std::string>& args);

// The profile list of the store, initialised (which creates "profile1" on first use).
void openProfiles(const DeviceStore& store, profile::ProfileList& list);

// The selected profile loaded into `record`; prints why and returns false when there is
// no usable profile file.
bool loadSelectedProfile(const DeviceStore& store, profile::CBasicProfiledata& record);

// Prints each of `notices` from index `from` on as "halvekctl: <notice>" to stderr: files
// the store set aside, which the user must hear of.
void reportNotices(const std::vector<std::string>& notices, std::size_t from = 0);
// Prints "halvekctl: <message>" to stderr; returns the refusal status 1.
int refuse(const std::string& message);
// Prints the usage problem; returns 2.
int usage(const std::string& message);

// Store options shared by every help text.
inline constexpr const char* kStoreOptionsHelp =
    "  --data-dir DIR     the user data folder (default: the GUI's, "
    "$XDG_DATA_HOME/SPhalvek2vizudi)\n"
    "  --device NAME      keyboard (default, or halvekctl's --device), mouse, MousePad or HD\n";

} // namespace cli
