#pragma once

// The update service's address as the user types it in the settings window: what is
// refused and why, and where an accepted one is kept.

#include "platform/result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace update {

inline constexpr std::size_t kMaxServiceAddressLength = 2048;

enum class AddressProblem {
    NotWeb,   // not http:// or https://
    NoServer, // nothing after the scheme
    HasBlank, // a blank or control character inside
    TooLong,
};

// The typed address without the blanks around it.
[[nodiscard]] std::wstring trimmedAddress(std::wstring_view typed);
// Why an address (already trimmed) cannot be used; nullopt when it can. An empty address
// is fine: it means no service.
[[nodiscard]] std::optional<AddressProblem> addressProblem(std::wstring_view address);
// The language text id that says the problem to the user.
[[nodiscard]] std::wstring_view refusalTextId(AddressProblem problem);

// Keeps the address as the settings file's UpdateServiceUrl; an empty one removes it. A
// refused address is not stored.
[[nodiscard]] platform::Result<void> storeServiceAddress(const std::filesystem::path& settingsFile,
                                                         std::wstring_view address);

} // namespace update
