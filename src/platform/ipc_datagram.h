#pragma once

#include "platform/ipc.h"
#include "platform/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One IPC message as one datagram: a fixed 40-byte header (magic, kind, the three name
// lengths, data length, wParam, lParam, copyDataId), then the message name, the target
// endpoint name (empty for a broadcast) and the sender's name in UTF-8, then the data.
// Both ends run on the same machine, so numbers are in its own byte order.
inline constexpr std::size_t kIpcHeaderSize = 40;
inline constexpr std::size_t kMaxIpcDatagramSize =
    kIpcHeaderSize + 3 * kMaxIpcNameBytes + kMaxIpcDataSize;

struct IpcDatagram {
    IpcMessage message; // senderName filled in, senderProcessId not
    std::wstring target;
};

[[nodiscard]] Result<std::vector<std::uint8_t>>
encodeIpcDatagram(const IpcMessage& message, std::wstring_view target, std::wstring_view sender);

// Checks every length against the bytes that arrived before using any of them.
[[nodiscard]] Result<IpcDatagram> decodeIpcDatagram(std::span<const std::uint8_t> bytes);

} // namespace platform
