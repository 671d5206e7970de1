#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using MessageId = std::uint32_t;

inline constexpr MessageId kFirstRegisteredMessage = 0xC000;

// Maps a message name to an id from 0xC000 up; the same name always gives the same id
// within the process (names compare case-insensitively, as registered window messages do).
// Processes exchange registered messages by name, never by id. Thread-safe. Returns 0
// for an empty name or when the range is exhausted.
MessageId registerMessage(std::wstring_view name);

// The name a registered id was given, or nullopt for an id never handed out.
std::optional<std::wstring> registeredMessageName(MessageId id);

} // namespace platform
