#pragma once

// The emulated keyboard's memory in a JSON file, so that successive runs see one device:
// each area as lower-case hex, trailing zero bytes left out.

#include "devsim/keyboard_memory.h"

#include "platform/result.h"

#include <filesystem>
#include <string>

namespace devsim {

// Far above a full file (the colour groups are the bulk, 128 KiB of hex).
inline constexpr std::size_t kMaxStateFileSize = 1 << 20;

[[nodiscard]] std::string serializeKeyboardState(const KeyboardMemory& memory);
// Every area checked against its size; anything off fails the whole file.
[[nodiscard]] platform::Result<KeyboardMemory> parseKeyboardState(const std::string& text);

// NotFound when the file does not exist; InvalidInput with the reason when it is corrupt.
[[nodiscard]] platform::Result<KeyboardMemory> loadKeyboardState(const std::filesystem::path& file);
[[nodiscard]] platform::Result<void> saveKeyboardState(const std::filesystem::path& file,
                                                       const KeyboardMemory& memory);

} // namespace devsim
