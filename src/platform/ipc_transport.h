#pragma once

// The system's side of IpcEndpoint's sending, for the portable part in ipc.cpp; each
// backend's ipc.cpp defines these beside its listener.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// What the system keeps as an endpoint's file (see ipc_endpoint_files.h).
extern const std::string_view kIpcEndpointSuffix;

// One encoded message to the endpoint behind the file, waiting at most kIpcSendTimeout.
// False when it did not take it (gone, stuck, full); the reason goes to the debug output.
bool sendIpcMessage(const std::filesystem::path& endpointFile, std::span<const std::uint8_t> bytes);

// Whether the endpoint behind the file receives now.
bool ipcEndpointAnswers(const std::filesystem::path& endpointFile);

} // namespace platform
