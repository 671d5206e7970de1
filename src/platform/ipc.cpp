#include "platform/ipc.h"

#include "platform/debug_output.h"
#include "platform/ipc_datagram.h"
#include "platform/ipc_endpoint_files.h"
#include "platform/ipc_transport.h"
#include "platform/worker_thread.h"

// What every system's endpoint does the same way: the message shapes, finding the peers in
// the folder; reaching one and listening are the system's (ipc_transport.h).

namespace platform {

IpcEndpoint::~IpcEndpoint()
{
    stopReceiving();
}

bool IpcEndpoint::isReceiving() const
{
    return m_listener != nullptr;
}

Result<std::size_t> IpcEndpoint::broadcast(std::wstring_view message, std::uint64_t wParam,
                                           std::int64_t lParam,
                                           std::span<const std::uint8_t> data) const
{
    IpcMessage out;
    out.name = message;
    out.wParam = wParam;
    out.lParam = lParam;
    out.data.assign(data.begin(), data.end());
    return deliver(out, {});
}

Result<std::size_t> IpcEndpoint::post(std::wstring_view peer, std::wstring_view message,
                                      std::uint64_t wParam, std::int64_t lParam,
                                      std::span<const std::uint8_t> data) const
{
    if (peer.empty())
        return makeError(Error::Code::InvalidInput, "ipc: no peer named");
    IpcMessage out;
    out.name = message;
    out.wParam = wParam;
    out.lParam = lParam;
    out.data.assign(data.begin(), data.end());
    return deliver(out, peer);
}

Result<std::size_t> IpcEndpoint::postCopyData(std::wstring_view peer, std::uint64_t wParam,
                                              std::uint64_t copyDataId,
                                              std::span<const std::uint8_t> data) const
{
    if (peer.empty())
        return makeError(Error::Code::InvalidInput, "ipc: no peer named");
    IpcMessage out;
    out.kind = IpcMessage::Kind::CopyData;
    out.wParam = wParam;
    out.copyDataId = copyDataId;
    out.data.assign(data.begin(), data.end());
    return deliver(out, peer);
}

Result<std::size_t> IpcEndpoint::deliver(const IpcMessage& message, std::wstring_view target) const
{
    auto bytes = encodeIpcDatagram(message, target, m_name);
    if (!bytes) {
        debugOutput(bytes.error().message + "; nothing sent");
        return bytes.error();
    }
    const std::string wanted = target.empty() ? std::string() : ipcNameHash(target);
    std::size_t reached = 0;
    for (const auto& peer : ipcEndpointFiles(m_folder, wanted, m_socketPath, kIpcEndpointSuffix))
        if (sendIpcMessage(peer, *bytes))
            ++reached;
    return reached;
}

bool IpcEndpoint::hasPeer(std::wstring_view peer) const
{
    for (const auto& file :
         ipcEndpointFiles(m_folder, ipcNameHash(peer), m_socketPath, kIpcEndpointSuffix))
        if (ipcEndpointAnswers(file))
            return true;
    return false;
}

} // namespace platform
