#pragma once

// HID device paths: "\\?\hid#vid_XXXX&pid_XXXX&mi_NN&colNN#instance#{class}". Detection
// recognises interfaces by the numbers in them, so every backend writes them this way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hid {

// The hexadecimal number right after `token` (searched case-insensitively), at most eight
// digits; 0 when the token is absent or no digit follows.
std::uint32_t pathNumber(std::wstring_view path, std::wstring_view token);

struct PathIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t interfaceNumber = 0;
    std::uint32_t collection = 0;
};

PathIds parsePath(std::wstring_view path);

// `interfaceNumber` absent for a device of one interface, `collection` absent for an
// interface of one top-level collection, as the system leaves those tokens out.
std::wstring makePath(std::uint16_t vendorId, std::uint16_t productId,
                      std::optional<std::uint32_t> interfaceNumber,
                      std::optional<std::uint32_t> collection, std::wstring_view instance);

} // namespace hid
