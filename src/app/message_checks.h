#pragma once

// Checks on what messages from outside the UI thread carry. Numeric and registered
// messages can be sent by other code or other programs, so nothing they carry is trusted.

#include "platform/window_messages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace app {

// A row index carried in wParam; nullopt when it is outside the list.
[[nodiscard]] std::optional<std::size_t> rowFromMessage(WPARAM wParam, std::size_t rowCount);

// The whole signed 32-bit values of a WM_COPYDATA payload, at most maxBytes of it, zero
// filled to maxBytes / 4 values: a short payload is never read past its end. Nullopt for
// a null record, a null pointer or an empty payload.
[[nodiscard]] std::optional<std::vector<std::int32_t>> copyDataValues(const COPYDATASTRUCT* data,
                                                                      std::size_t maxBytes);

// Bytes of the two WM_COPYDATA payloads the main window takes.
inline constexpr std::size_t kSpectrumPayloadBytes = 2000;
inline constexpr std::size_t kExternalColourPayloadBytes = 24;

} // namespace app
