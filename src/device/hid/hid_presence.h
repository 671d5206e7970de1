#pragma once

#include <string>

namespace hid {

// Whether the collection of a listed path is still present, without opening it: the cheap
// check detection runs on every present interface each pass.
[[nodiscard]] bool isPathPresent(const std::wstring& path);

} // namespace hid
