#include "devsim/emulated_device.h"

#include "device/protocol/commands.h"
#include "device/usb_ids.h"

#include <algorithm>

namespace devsim {
namespace command = protocol::command;
namespace field = protocol::field;

namespace {

// The command id of a reply meant for some other, earlier request.
constexpr std::uint8_t kStaleCommand = 0x7E;

protocol::Frame withCommand(protocol::Frame frame, std::uint8_t commandId, std::uint8_t status)
{
    frame[field::kCommand] = commandId;
    frame[field::kStatus] = status;
    protocol::sealFrame(frame);
    return frame;
}

// The reply another request of the same command would get: another offset or length, and
// data that is not this request's.
constexpr std::uint16_t kForeignOffsetStep = 336;
constexpr std::uint8_t kForeignData = 0xEE;

protocol::Frame foreignReply(protocol::Frame frame, Fault fault)
{
    if (fault == Fault::ForeignOffset) {
        const auto offset =
            static_cast<std::uint16_t>(protocol::frameOffset(frame) + kForeignOffsetStep);
        frame[field::kOffsetLow] = static_cast<std::uint8_t>(offset & 0xFF);
        frame[field::kOffsetHigh] = static_cast<std::uint8_t>(offset >> 8);
    } else {
        frame[field::kLength] = static_cast<std::uint8_t>(frame[field::kLength] ^ 0x01);
    }
    std::fill(frame.begin() + field::kPayload, frame.end(), kForeignData);
    protocol::sealFrame(frame);
    return frame;
}

} // namespace

EmulatedDevice::EmulatedDevice(const DeviceModel& model)
    : m_model(model), m_memory(model.factoryMemory())
{
    for (const KeyboardLink link : {KeyboardLink::Cable, KeyboardLink::Receiver}) {
        m_links[index(link)] = std::make_unique<KeyboardInterfaces>(
            link, [this, link](std::span<const std::uint8_t> frame) { onFrame(link, frame); },
            model);
    }
}

EmulatedDevice::~EmulatedDevice()
{
    unplug(KeyboardLink::Cable);
    unplug(KeyboardLink::Receiver);
}

void EmulatedDevice::plug(KeyboardLink link)
{
    m_links[index(link)]->plug();
}

void EmulatedDevice::unplug(KeyboardLink link)
{
    m_links[index(link)]->unplug();
    if (link == KeyboardLink::Cable) {
        // A sequence the host had open through the cable dies with it.
        std::lock_guard guard(m_lock);
        m_handler.dropSequence();
    }
}

bool EmulatedDevice::isPlugged(KeyboardLink link) const
{
    return m_links[index(link)]->compositeInterface().isPlugged();
}

KeyboardInterfaces& EmulatedDevice::interfaces(KeyboardLink link)
{
    return *m_links[index(link)];
}

std::wstring EmulatedDevice::commandPath(KeyboardLink link) const
{
    return m_links[index(link)]->compositeInterface().path(usb::kCommandCollection);
}

std::wstring EmulatedDevice::consumerPath(KeyboardLink link) const
{
    return m_links[index(link)]->compositeInterface().path(usb::kConsumerCollection);
}

void EmulatedDevice::setAsleep(bool asleep)
{
    std::lock_guard guard(m_lock);
    m_asleep = asleep;
}

bool EmulatedDevice::isAsleep() const
{
    std::lock_guard guard(m_lock);
    return m_asleep;
}

bool EmulatedDevice::sendConsumerUsage(std::uint16_t usage)
{
    KeyboardLink link = KeyboardLink::Cable;
    if (!isPlugged(KeyboardLink::Cable)) {
        if (!isPlugged(KeyboardLink::Receiver) || isAsleep())
            return false;
        link = KeyboardLink::Receiver;
    }
    m_timing[index(link)].waitForIn();
    return m_links[index(link)]->sendConsumerUsage(usage);
}

bool EmulatedDevice::switchProfile(std::uint8_t slot)
{
    {
        std::lock_guard guard(m_lock);
        m_memory.area(Area::Settings)[0] = slot;
    }
    return sendConsumerUsage(static_cast<std::uint16_t>(kUsageNotice | (slot & 0x0F)));
}

void EmulatedDevice::injectFaults(std::initializer_list<Fault> faults)
{
    std::lock_guard guard(m_lock);
    for (const Fault fault : faults)
        m_faults.push(fault);
}

void EmulatedDevice::injectFault(Fault fault)
{
    injectFaults({fault});
}

void EmulatedDevice::clearFaults()
{
    std::lock_guard guard(m_lock);
    m_faults.clear();
}

void EmulatedDevice::releaseLateReplies()
{
    std::vector<std::pair<KeyboardLink, protocol::Frame>> late;
    {
        std::lock_guard guard(m_lock);
        late.swap(m_late);
    }
    for (const auto& [link, reply] : late)
        deliver(link, std::span(&reply, 1), -1);
}

void EmulatedDevice::setUsbTiming(bool enabled)
{
    for (auto& timing : m_timing)
        timing.setEnabled(enabled);
}

UsbTiming& EmulatedDevice::usbTiming(KeyboardLink link)
{
    return m_timing[index(link)];
}

std::vector<protocol::Frame> EmulatedDevice::received() const
{
    std::lock_guard guard(m_lock);
    return m_received;
}

std::vector<std::uint8_t> EmulatedDevice::commandsReceived() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::uint8_t> commands;
    for (const auto& frame : m_received)
        commands.push_back(frame[field::kCommand]);
    return commands;
}

std::size_t EmulatedDevice::badChecksums() const
{
    std::lock_guard guard(m_lock);
    return m_handler.badChecksums();
}

void EmulatedDevice::clearReceived()
{
    std::lock_guard guard(m_lock);
    m_received.clear();
}

std::vector<EmulatedDevice::SentRequest> EmulatedDevice::takeSenders()
{
    std::lock_guard guard(m_lock);
    std::vector<SentRequest> taken(m_senders.begin(), m_senders.end());
    m_senders.clear();
    return taken;
}

void EmulatedDevice::noteSender(std::uint8_t command)
{
    const auto thread = std::this_thread::get_id();
    auto known = std::find(m_senderThreads.begin(), m_senderThreads.end(), thread);
    if (known == m_senderThreads.end())
        known = m_senderThreads.insert(m_senderThreads.end(), thread);
    if (m_senders.size() == kSenderLogSize)
        m_senders.pop_front();
    m_senders.push_back({static_cast<int>(known - m_senderThreads.begin()) + 1, command});
}

bool EmulatedDevice::hostLighting() const
{
    std::lock_guard guard(m_lock);
    return m_handler.hostLighting();
}

bool EmulatedDevice::isInSequence() const
{
    std::lock_guard guard(m_lock);
    return m_handler.isInSequence();
}

KeyboardMemory EmulatedDevice::memory() const
{
    std::lock_guard guard(m_lock);
    return m_memory;
}

std::vector<std::uint8_t> EmulatedDevice::area(Area which) const
{
    std::lock_guard guard(m_lock);
    const auto bytes = m_memory.area(which);
    return {bytes.begin(), bytes.end()};
}

void EmulatedDevice::setArea(Area which, std::size_t offset, std::span<const std::uint8_t> bytes)
{
    std::lock_guard guard(m_lock);
    const auto target = m_memory.area(which);
    if (offset > target.size())
        return;
    const std::size_t count = std::min(bytes.size(), target.size() - offset);
    std::copy_n(bytes.begin(), count, target.begin() + static_cast<std::ptrdiff_t>(offset));
}

void EmulatedDevice::setMemory(const KeyboardMemory& memory)
{
    std::lock_guard guard(m_lock);
    m_memory = memory;
    m_handler.dropSequence();
}

void EmulatedDevice::onFrame(KeyboardLink link, std::span<const std::uint8_t> report)
{
    const std::int64_t requestFrame = m_timing[index(link)].waitForOut();
    protocol::Frame request{};
    std::copy_n(report.begin(), std::min(report.size(), request.size()), request.begin());

    std::vector<protocol::Frame> lateBefore;
    Delivery delivery;
    {
        std::lock_guard guard(m_lock);
        m_received.push_back(request);
        noteSender(request[field::kCommand]);
        // A reply held back past the host's time-out turns up before the next answer.
        for (auto it = m_late.begin(); it != m_late.end();) {
            if (it->first == link) {
                lateBefore.push_back(it->second);
                it = m_late.erase(it);
            } else {
                ++it;
            }
        }
        delivery = answer(link, request);
    }

    deliver(link, lateBefore, requestFrame);
    switch (delivery.fault) {
    case Fault::UnplugBeforeReply:
    case Fault::UnplugMidWrite:
        unplug(link);
        break;
    case Fault::Late: {
        std::lock_guard guard(m_lock);
        for (const auto& reply : delivery.replies)
            m_late.emplace_back(link, reply);
        break;
    }
    default:
        deliver(link, delivery.replies, requestFrame);
        break;
    }
    m_requestArrived.set();
}

EmulatedDevice::Delivery EmulatedDevice::answer(KeyboardLink link, const protocol::Frame& request)
{
    const std::uint8_t commandId = request[field::kCommand];
    Delivery delivery;
    delivery.fault = m_faults.take(commandId, isWriteCommand(commandId),
                                   protocol::frameOffset(request), request[field::kLength]);
    if (delivery.fault == Fault::UnplugMidWrite)
        return delivery; // gone before the frame was taken

    protocol::Frame reply{};
    if (link == KeyboardLink::Receiver && m_asleep) {
        // The receiver answers for a device it cannot reach.
        reply = replyTo(request, CommandHandler::kStatusOk);
        reply = withCommand(reply, protocol::kReceiverAsleepEcho, CommandHandler::kStatusOk);
    } else {
        reply = m_handler.handle(request);
    }

    const protocol::Frame stale = withCommand(reply, kStaleCommand, reply[field::kStatus]);
    switch (delivery.fault) {
    case Fault::None:
    case Fault::Late:
        delivery.replies = {reply};
        break;
    case Fault::Lost:
    case Fault::UnplugBeforeReply:
        break;
    case Fault::WrongEcho:
        delivery.replies = {stale, reply};
        break;
    case Fault::WrongEchoTwice:
        delivery.replies = {stale, stale};
        break;
    case Fault::WrongEchoTwiceFF:
        delivery.replies = {
            stale, withCommand(stale, kStaleCommand, CommandHandler::kStatusUnknownCommand)};
        break;
    case Fault::ReceiverMark:
        delivery.replies = {
            withCommand(reply, protocol::kReceiverAsleepEcho, reply[field::kStatus]), reply};
        break;
    case Fault::StatusFF:
        delivery.replies = {withCommand(reply, commandId, protocol::kReplyErrorFF)};
        break;
    case Fault::StatusFE:
        delivery.replies = {withCommand(reply, commandId, protocol::kReplyErrorFE)};
        break;
    case Fault::UnplugMidWrite:
        break;
    case Fault::ForeignOffset:
        delivery.replies = {foreignReply(reply, delivery.fault),
                            foreignReply(reply, delivery.fault)};
        break;
    case Fault::ForeignLength:
        delivery.replies = {foreignReply(reply, delivery.fault), reply};
        break;
    }
    return delivery;
}

void EmulatedDevice::deliver(KeyboardLink link, std::span<const protocol::Frame> replies,
                             std::int64_t after)
{
    for (const auto& reply : replies) {
        m_timing[index(link)].waitForIn(after);
        (void)m_links[index(link)]->sendReply(reply);
    }
}

} // namespace devsim
