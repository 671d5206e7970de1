#pragma once

#include <cstdint>
#include <string_view>

namespace platform {
class IpcEndpoint;
}

namespace shell {

// The endpoint the program reaches other programs through (set by start-up; none in
// tests). Broadcasts go nowhere without one.
void setPeerEndpoint(const platform::IpcEndpoint* endpoint);
// The endpoint itself, for messages to one named program; null without one.
const platform::IpcEndpoint* peerEndpoint();

void broadcastToPeers(std::wstring_view message, std::uint64_t wParam, std::int64_t lParam);

} // namespace shell
