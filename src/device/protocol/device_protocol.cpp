#include "device/protocol/device_protocol.h"

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/text.h"

#include <algorithm>
#include <cwctype>

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

// The device's identity for its lock: the path without its collection, since the
// collections of one interface are one device to hold.
std::wstring deviceIdentity(const std::wstring& path)
{
    std::wstring identity = platform::toLower(path);
    if (const auto col = identity.find(L"&col"); col != std::wstring::npos) {
        auto end = col + 4;
        while (end < identity.size() && std::iswxdigit(identity[end]))
            ++end;
        identity.erase(col, end - col);
    }
    return identity;
}

} // namespace

namespace protocol {

DeviceHold::DeviceHold(CDeviceProtocol& channel, std::chrono::milliseconds wait,
                       platform::DeviceLock::Turn turn)
    : m_channel(channel)
{
    if (!channel.isOpen())
        return;
    m_status = channel.holdDevice(wait, turn);
    m_holding = m_status == Status::Ok;
}

DeviceHold::~DeviceHold()
{
    if (m_holding)
        m_channel.releaseDevice();
}

} // namespace protocol

CDeviceProtocol::CDeviceProtocol() = default;

// Members go in reverse: the locks, then the receiver link, then the wired link, each link
// closing itself.
CDeviceProtocol::~CDeviceProtocol() = default;

void CDeviceProtocol::setOpen(bool open)
{
    if (m_open.exchange(open, std::memory_order_relaxed) != open)
        flagsChanged();
}

void CDeviceProtocol::setLightingSync(bool on)
{
    if (m_lightingSync.exchange(on, std::memory_order_relaxed) != on)
        flagsChanged();
}

void CDeviceProtocol::watchFlags(const std::weak_ptr<platform::Event>& changed)
{
    const std::lock_guard lock(m_watchLock);
    std::erase_if(m_flagWatchers, [&](const std::weak_ptr<platform::Event>& watcher) {
        return watcher.expired() ||
               (!watcher.owner_before(changed) && !changed.owner_before(watcher));
    });
    m_flagWatchers.push_back(changed);
}

// The flag is stored before this runs, and a watcher reads it after its event, whose lock
// orders the two: a thread woken here never sees the old value.
void CDeviceProtocol::flagsChanged()
{
    std::vector<std::shared_ptr<platform::Event>> watchers;
    {
        const std::lock_guard lock(m_watchLock);
        for (const auto& watcher : m_flagWatchers) {
            if (auto event = watcher.lock())
                watchers.push_back(std::move(event));
        }
    }
    for (const auto& event : watchers)
        event->set();
}

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

Status CDeviceProtocol::holdDevice(std::chrono::milliseconds wait, platform::DeviceLock::Turn turn)
{
    const auto refuse = [this](Status status, const std::string& why) {
        platform::debugOutput("device not held: " + why);
        std::lock_guard guard(m_refusalLock);
        m_refusal = why;
        return status;
    };
    const auto self = std::this_thread::get_id();
    const bool first = turn == platform::DeviceLock::Turn::First;
    std::unique_lock gate(m_gate);
    if (m_owner == self) {
        ++m_ownerDepth;
        return Status::Ok;
    }
    if (first)
        ++m_firstWaiting;
    // Sequences of this program let a waiting live frame go first, as other programs do.
    const bool free = m_gateChanged.wait_for(
        gate, wait, [&] { return m_owner == std::thread::id{} && (first || m_firstWaiting == 0); });
    if (first) {
        --m_firstWaiting;
        m_gateChanged.notify_all();
    }
    if (!free)
        return refuse(Status::DeviceHeld, "device held by another thread of this program");
    m_owner = self;
    m_ownerDepth = 1;
    if (!m_deviceLock.hasFile())
        return Status::Ok;
    // The file lock may take a while; the gate stays open for the others meanwhile.
    gate.unlock();
    auto held = m_deviceLock.acquire(wait, turn);
    if (held)
        return Status::Ok;
    gate.lock();
    m_owner = {};
    m_ownerDepth = 0;
    m_gateChanged.notify_all();
    gate.unlock();
    const bool busy = held.error().code == platform::Error::Code::Timeout;
    return refuse(busy ? Status::DeviceHeld : Status::NoReply, held.error().message);
}

void CDeviceProtocol::releaseDevice()
{
    std::lock_guard gate(m_gate);
    if (--m_ownerDepth > 0)
        return;
    m_deviceLock.release();
    m_owner = {};
    m_gateChanged.notify_all();
}

std::string CDeviceProtocol::refusal() const
{
    std::lock_guard guard(m_refusalLock);
    return m_refusal;
}

bool CDeviceProtocol::openLink(protocol::Link link, const std::wstring& path)
{
    std::wstring identity;
    {
        std::lock_guard transfer(m_transferLock);
        CHidDevice& device = link == protocol::Link::Receiver ? m_receiverLink : m_wiredLink;
        device.Close();
        if (!device.Open(path, hid::kChannelMode))
            return false;
        identity = device.ownerIdentity();
    }
    {
        // Not while another thread's sequence holds the device: it would lose its lock
        // half-way.
        const auto self = std::this_thread::get_id();
        std::unique_lock gate(m_gate);
        m_gateChanged.wait(gate, [&] { return m_owner == std::thread::id{} || m_owner == self; });
        if (const auto folder = platform::instanceRuntimeFolder(); folder)
            m_deviceLock.setFile(*folder, platform::deviceLockName(deviceIdentity(identity)));
        else
            platform::debugOutput("device lock: no runtime folder: " + folder.error().message);
    }
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

Status CDeviceProtocol::readFrame(CHidDevice& link, Frame& frame, std::chrono::milliseconds timeout)
{
    // Whole reports only: a report of another length is not an answer of this protocol.
    std::uint32_t received = 0;
    if (link.Read(frame, received, timeout) != 1 || received != protocol::kFrameSize)
        return Status::NoReply;
    return Status::Ok;
}

namespace {

// The caller's buffer is never written past its own size.
void copyReply(const Frame& frame, std::span<std::uint8_t> reply, std::uint32_t& bytesRead)
{
    const std::size_t copied = std::min(reply.size(), protocol::kFrameSize);
    std::copy_n(frame.begin(), copied, reply.begin());
    bytesRead = static_cast<std::uint32_t>(copied);
}

} // namespace

Status CDeviceProtocol::sendAndAwait(CHidDevice& link, const Frame& frame,
                                     std::span<std::uint8_t> reply, std::uint32_t& bytesRead,
                                     std::chrono::milliseconds timeout, bool receiver)
{
    {
        std::lock_guard transfer(m_transferLock);
        // A reply that came after its own exchange gave up, or one to another program
        // sharing the device, is no answer to this request: nothing received before the
        // request can be.
        link.discardInput();
        std::uint32_t written = 0;
        if (link.Write(frame, written, timeout) != 1)
            return Status::WriteFailed;
    }
    m_framesSent.fetch_add(1, std::memory_order_relaxed);

    // The device may still owe the answer to an earlier, abandoned request: one stale reply
    // is skipped, but no more, so a confused device cannot hold the channel. Two replies that
    // answer something else leave this request unanswered: taking one would hand another
    // request's data or status to this command.
    std::lock_guard transfer(m_transferLock);
    Status result = Status::NoReply;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Frame answer{};
        if (readFrame(link, answer, timeout) != Status::Ok) {
            result = Status::NoReply;
            continue;
        }
        const auto match = protocol::matchReply(frame, answer, receiver);
        if (match == protocol::ReplyMatch::Other) {
            platform::debugOutput("reply " + protocol::describeHeader(answer) +
                                  " ignored: " + protocol::describeHeader(frame) + " asked");
            result = Status::NoReply;
            continue;
        }
        copyReply(answer, reply, bytesRead);
        result = match == protocol::ReplyMatch::Answer ? Status::Ok : Status::ReceiverAsleep;
        break;
    }
    return result;
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
    const Status result =
        sendAndAwait(receiver ? m_receiverLink : m_wiredLink, frame, reply, bytesRead,
                     receiver ? protocol::kReceiverTimeout : protocol::kWiredTimeout, receiver);
    if (result != Status::WriteFailed)
        traceFrame(L"返回", protocol::padToFrame(reply));
    return result;
}

Status CDeviceProtocol::QuickTransact(std::span<const std::uint8_t> request,
                                      std::span<std::uint8_t> reply, std::uint32_t& bytesRead)
{
    // Matched like any exchange: a live frame that took another exchange's reply would end
    // with its own replies still on the way, and they would meet the next owner's requests.
    bytesRead = 0;
    return sendAndAwait(m_wiredLink, protocol::padToFrame(request), reply, bytesRead,
                        protocol::kWiredTimeout, false);
}
