#pragma once

#include <string>

namespace hid {

// Whether the collection of a listed path is still present, without opening it: the cheap
// check detection runs on every present interface each pass. Also false, once, when a
// connection open on the path lost its device even though the path is listed again (a
// replug faster than one pass): what was claimed on it is gone and must be claimed anew.
[[nodiscard]] bool isPathPresent(const std::wstring& path);

} // namespace hid
