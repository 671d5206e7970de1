#include "platform/ipc.h"

// The message shapes every system's endpoint sends the same way; deliver() is the system's.

namespace platform {

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

} // namespace platform
