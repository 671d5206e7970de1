#pragma once

#include <optional>
#include <string_view>

namespace shell {

// A control name or user data split at its last "_": "key_12" is prefix "key_" and number
// 12. No "_", no digits after it, anything but digits, or a number past `limit` give nullopt.
struct IndexedName {
    std::wstring_view prefix; // with the "_"
    int number = 0;
};
[[nodiscard]] std::optional<IndexedName> splitIndexedName(std::wstring_view name,
                                                          int limit = 0x7FFFFFFF);

} // namespace shell
