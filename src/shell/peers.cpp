#include "shell/peers.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ipc.h"

#include <atomic>

namespace shell {
namespace {
std::atomic<const platform::IpcEndpoint*> g_endpoint{nullptr};
} // namespace

void setPeerEndpoint(const platform::IpcEndpoint* endpoint)
{
    g_endpoint = endpoint;
}

const platform::IpcEndpoint* peerEndpoint()
{
    return g_endpoint.load();
}

void broadcastToPeers(std::wstring_view message, std::uint64_t wParam, std::int64_t lParam)
{
    const platform::IpcEndpoint* endpoint = g_endpoint.load();
    if (!endpoint)
        return;
    const auto sent = endpoint->broadcast(message, wParam, lParam);
    if (!sent)
        platform::debugOutput("broadcast to other programs failed: " + sent.error().message);
}

} // namespace shell
