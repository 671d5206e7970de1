#pragma once

// The system's HID interface paths, "\\?\HID#VID_046D&PID_C52B&MI_02&Col01#<instance>#{class}",
// read without a device, so they can be checked anywhere.

#include "device/hid/hid_path.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace hid::windows {

// Past the longest path the system opens; such a string is nobody's device.
inline constexpr std::size_t kLongestSystemPath = 32767;

// The numbers of a system path, read from its hardware id alone (the part before the
// instance), in either case. nullopt for anything else: another prefix, no instance, a
// number longer than its field, an overlong path, or an emulated interface's path
// ("#sim&…", "#sock&…"), which has the same form but is not the system's to open.
std::optional<PathIds> parseSystemPath(std::wstring_view path);

} // namespace hid::windows
