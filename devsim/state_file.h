#pragma once

// An emulated device's memory in a JSON file, so that successive runs see one device:
// each area as lower-case hex, trailing zero bytes left out. The format names the device,
// so a keyboard's file is never loaded into a mouse.

#include "devsim/device_model.h"
#include "devsim/keyboard_memory.h"

#include "platform/result.h"

#include <filesystem>
#include <string>

namespace devsim {

// Far above a full file (the colour groups are the bulk, 128 KiB of hex).
inline constexpr std::size_t kMaxStateFileSize = 1 << 20;

[[nodiscard]] std::string serializeState(const DeviceModel& model, const KeyboardMemory& memory);
// Every area checked against the model's sizes; anything off fails the whole file.
[[nodiscard]] platform::Result<KeyboardMemory> parseState(const DeviceModel& model,
                                                          const std::string& text);
[[nodiscard]] platform::Result<KeyboardMemory> loadState(const DeviceModel& model,
                                                         const std::filesystem::path& file);
[[nodiscard]] platform::Result<void> saveState(const DeviceModel& model,
                                               const std::filesystem::path& file,
                                               const KeyboardMemory& memory);

// The keyboard's, as above.
[[nodiscard]] std::string serializeKeyboardState(const KeyboardMemory& memory);
// Every area checked against its size; anything off fails the whole file.
[[nodiscard]] platform::Result<KeyboardMemory> parseKeyboardState(const std::string& text);

// NotFound when the file does not exist; InvalidInput with the reason when it is corrupt.
[[nodiscard]] platform::Result<KeyboardMemory> loadKeyboardState(const std::filesystem::path& file);
[[nodiscard]] platform::Result<void> saveKeyboardState(const std::filesystem::path& file,
                                                       const KeyboardMemory& memory);

} // namespace devsim
