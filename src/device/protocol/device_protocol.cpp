#include "device/protocol/device_protocol.h"

#include "platform/debug_output.h"

#include <algorithm>

using protocol::Frame;
using protocol::Status;

namespace {

void traceFrame(std::wstring_view title, const Frame& frame)
{
    platform::debugOutput(title);
    platform::debugOutput(protocol::traceLine(std::span(frame).first<protocol::kFrameSize / 2>()));
    platform::debugOutput(protocol::traceLine(std::span(frame).last<protocol::kFrameSize / 2>()));
}

// Busy covers the whole logged exchange, whichever way it ends.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy) : m_busy(busy)
    {
        m_busy.store(true, std::memory_order_relaxed);
    }
    ~BusyScope() { m_busy.store(false, std::memory_order_relaxed); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_busy;
};

} // namespace

CDeviceProtocol::CDeviceProtocol() = default;

// Members go in reverse: the locks, then the receiver link, then the wired link, each link
// closing itself.
CDeviceProtocol::~CDeviceProtocol() = default;

bool CDeviceProtocol::setBlockSize(std::size_t size)
{
    if (size > protocol::kMaxBlockSize)
        return false;
    m_blockSize = static_cast<std::uint16_t>(size);
    return true;
}

void CDeviceProtocol::setLinkMode(protocol::LinkMode mode)
{
    const bool receiver = mode == protocol::LinkMode::Receiver;
    m_receiverMode.store(receiver, std::memory_order_relaxed);
    m_chunkSize.store(receiver ? protocol::kReceiverChunkSize : protocol::kWiredChunkSize,
                      std::memory_order_relaxed);
}

bool CDeviceProtocol::openLink(protocol::Link link, const std::wstring& path)
{
    std::lock_guard transfer(m_transferLock);
    CHidDevice& device = link == protocol::Link::Receiver ? m_receiverLink : m_wiredLink;
    device.Close();
    if (!device.Open(path, hid::kChannelMode))
        return false;
    setOpen(true);
    return true;
}

void CDeviceProtocol::closeLinks()
{
    std::lock_guard transfer(m_transferLock);
    setOpen(false);
    m_wiredLink.Close();
    m_receiverLink.Close();
}

Status CDeviceProtocol::readFrame(CHidDevice& link, std::span<std::uint8_t> reply,
                                  std::uint32_t& bytesRead, std::chrono::milliseconds timeout)
{
    bytesRead = 0;
    // Read whole reports only; a report of another length is not an answer of this protocol,
    // and the caller's buffer is never written past its own size.
    Frame frame{};
    std::uint32_t received = 0;
    if (link.Read(frame, received, timeout) != 1 || received != protocol::kFrameSize)
        return Status::NoReply;
    const std::size_t copied = std::min(reply.size(), protocol::kFrameSize);
    std::copy_n(frame.begin(), copied, reply.begin());
    bytesRead = static_cast<std::uint32_t>(copied);
    return Status::Ok;
}

Status CDeviceProtocol::Transact(std::span<const std::uint8_t> request,
                                 std::span<std::uint8_t> reply, std::uint32_t& bytesRead)
{
    BusyScope busy(m_busy);
    bytesRead = 0;
    if (!isOpen())
        return Status::NoReply;

    const Frame frame = protocol::padToFrame(request);
    traceFrame(L"命令", frame);

    // Mode is taken once: the read must come from the link the request went to.
    const bool receiver = isReceiverMode();
    CHidDevice& link = receiver ? m_receiverLink : m_wiredLink;
    const auto timeout = receiver ? protocol::kReceiverTimeout : protocol::kWiredTimeout;
    {
        std::lock_guard transfer(m_transferLock);
        // A reply that came after its own exchange gave up would answer this request in
        // its place (only the command byte is matched), and every later one would be a
        // reply behind. Nothing received before the request can be its answer.
        link.discardInput();
        std::uint32_t written = 0;
        if (link.Write(frame, written, timeout) != 1)
            return Status::WriteFailed;
    }

    // The device may still owe the answer to an earlier, abandoned request: one stale reply
    // is skipped, but no more, so a confused device cannot hold the channel.
    Status result = Status::NoReply;
    {
        std::lock_guard transfer(m_transferLock);
        for (int attempt = 0; attempt < 2; ++attempt) {
            result = readFrame(link, reply, bytesRead, timeout);
            if (result != Status::Ok)
                continue;
            const auto match =
                protocol::matchReply(frame[protocol::field::kCommand], reply, receiver);
            if (match == protocol::ReplyMatch::Answer)
                break;
            if (match == protocol::ReplyMatch::ReceiverAsleep) {
                result = Status::ReceiverAsleep;
                break;
            }
        }
    }

    traceFrame(L"返回", protocol::padToFrame(reply));
    return result;
}

Status CDeviceProtocol::QuickTransact(std::span<const std::uint8_t> request,
                                      std::span<std::uint8_t> reply, std::uint32_t& bytesRead)
{
    bytesRead = 0;
    const Frame frame = protocol::padToFrame(request);
    {
        std::lock_guard transfer(m_transferLock);
        std::uint32_t written = 0;
        if (m_wiredLink.Write(frame, written, protocol::kWiredTimeout) != 1)
            return Status::WriteFailed;
    }
    std::lock_guard transfer(m_transferLock);
    return readFrame(m_wiredLink, reply, bytesRead, protocol::kWiredTimeout);
}
