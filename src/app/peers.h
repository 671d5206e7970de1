#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class IpcEndpoint;
}

namespace app {

// The endpoint the program reaches other programs through (set by start-up; none in
// tests). Broadcasts go nowhere without one.
void setPeerEndpoint(const platform::IpcEndpoint* endpoint);
// The endpoint itself, for messages to one named program; null without one.
const platform::IpcEndpoint* peerEndpoint();
// The registered messages other programs may send the main window: the instance message,
// the GUID messages and the game messages. The hook's key and mouse messages are not
// among them: only the program's own hook sends those.
std::vector<std::wstring> messagesFromPeers();

void broadcastToPeers(std::wstring_view message, std::uint64_t wParam, std::int64_t lParam);

} // namespace app
