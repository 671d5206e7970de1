#include "fake_device.h"

#include <algorithm>

namespace {

// Vendor collection: usage page 0xFF1C, usage 0x92, report id 4, 63 data bytes out and
// inputLength - 1 in.
std::vector<std::uint8_t> descriptor(std::size_t inputLength)
{
    return {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1,
            0x01, 0x85, 0x04, 0x15, 0x00, 0x26,
            0xFF, 0x00, 0x75, 0x08, 0x95, static_cast<std::uint8_t>(inputLength - 1),
            0x09, 0x01, 0x81, 0x02, 0x09, 0x01,
            0x95, 0x3F, 0x91, 0x02, 0xC0};
}

constexpr std::uint8_t kStaleCommand = 0x7E;

std::uint16_t deviceChecksum(std::span<const std::uint8_t> frame)
{
    unsigned sum = 0;
    for (std::size_t i = 3; i < frame.size(); ++i)
        sum += frame[i];
    return static_cast<std::uint16_t>(sum);
}

// Which memory a command's block lives in: reads and writes of one block share it.
std::uint8_t spaceOf(std::uint8_t command)
{
    switch (command) {
    case 0x05:
        return 0x06; // settings
    case 0x07:
        return 0x09; // key layout is read where the key map is written
    default:
        return command;
    }
}

bool isRead(std::uint8_t command)
{
    return command == 0x03 || command == 0x05 || command == 0x07 || command == 0x1A ||
           command == 0x1B;
}

} // namespace

FakeDevice::FakeDevice(std::size_t inputReportLength)
    : m_interface({0x1A2C, 0x5078, 0x0100, 1}, descriptor(inputReportLength),
                  [this](std::uint32_t, std::span<const std::uint8_t> report) { onOutput(report); })
{
    m_interface.plug();
}

FakeDevice::~FakeDevice()
{
    m_interface.unplug();
}

std::wstring FakeDevice::path() const
{
    return m_interface.path(1);
}

void FakeDevice::unplug()
{
    m_interface.unplug();
}

void FakeDevice::script(std::initializer_list<Reply> replies)
{
    std::lock_guard guard(m_lock);
    m_script.insert(m_script.end(), replies);
}

void FakeDevice::setAsleep(bool asleep)
{
    std::lock_guard guard(m_lock);
    m_asleep = asleep;
}

void FakeDevice::holdWrites(bool held)
{
    m_interface.holdWrites(held);
}

std::vector<protocol::Frame> FakeDevice::received() const
{
    std::lock_guard guard(m_lock);
    return m_received;
}

std::vector<std::uint8_t> FakeDevice::commandsReceived() const
{
    std::lock_guard guard(m_lock);
    std::vector<std::uint8_t> commands;
    for (const auto& frame : m_received)
        commands.push_back(frame[3]);
    return commands;
}

std::size_t FakeDevice::badChecksums() const
{
    std::lock_guard guard(m_lock);
    return m_badChecksums;
}

void FakeDevice::releaseDeferred()
{
    std::vector<protocol::Frame> answers;
    {
        std::lock_guard guard(m_lock);
        answers.swap(m_deferred);
    }
    for (const auto& answer : answers)
        queue(answer);
}

void FakeDevice::clearReceived()
{
    std::lock_guard guard(m_lock);
    m_received.clear();
}

std::vector<std::uint8_t>& FakeDevice::space(std::uint8_t command)
{
    auto& bytes = m_memory[spaceOf(command)];
    if (bytes.empty())
        bytes.resize(0x10000);
    return bytes;
}

std::vector<std::uint8_t> FakeDevice::memory(std::uint8_t command) const
{
    std::lock_guard guard(m_lock);
    return const_cast<FakeDevice*>(this)->space(command);
}

void FakeDevice::setMemory(std::uint8_t command, std::size_t offset,
                           std::span<const std::uint8_t> bytes)
{
    std::lock_guard guard(m_lock);
    std::copy(bytes.begin(), bytes.end(), space(command).begin() + offset);
}

void FakeDevice::queue(protocol::Frame reply)
{
    const std::uint16_t sum = deviceChecksum(reply);
    reply[1] = static_cast<std::uint8_t>(sum);
    reply[2] = static_cast<std::uint8_t>(sum >> 8);
    (void)m_interface.queueInput(reply);
}

void FakeDevice::onOutput(std::span<const std::uint8_t> report)
{
    protocol::Frame request{};
    std::copy_n(report.begin(), std::min(report.size(), request.size()), request.begin());

    std::unique_lock guard(m_lock);
    m_received.push_back(request);
    if (deviceChecksum(request) != (request[1] | (request[2] << 8)))
        ++m_badChecksums;
    Reply reply = Reply::Normal;
    if (!m_script.empty()) {
        reply = m_script.front();
        m_script.pop_front();
    }

    const std::uint8_t command = request[3];
    const std::size_t length = std::min<std::size_t>(request[4], 56);
    const std::size_t offset = request[5] | (request[6] << 8);
    protocol::Frame answer{};
    std::copy_n(request.begin(), 8, answer.begin());
    answer[7] = 0;

    if (m_asleep && command != 0xAA) {
        answer[3] = 0xAA;
    } else if (command == 0xAA) {
        answer[8] = m_asleep ? 0x00 : 0xFF;
    } else if (isRead(command)) {
        auto& bytes = space(command);
        std::copy_n(bytes.begin() + offset, std::min(length, bytes.size() - offset),
                    answer.begin() + 8);
    } else if (length > 0) {
        auto& bytes = space(command);
        std::copy_n(request.begin() + 8, std::min(length, bytes.size() - offset),
                    bytes.begin() + offset);
    }

    protocol::Frame stale = answer;
    stale[3] = kStaleCommand;
    guard.unlock();
    switch (reply) {
    case Reply::Normal:
        queue(answer);
        break;
    case Reply::Lost:
        break;
    case Reply::StaleThenAnswer:
        queue(stale);
        queue(answer);
        break;
    case Reply::AaThenAnswer: {
        protocol::Frame mark = answer;
        mark[3] = 0xAA;
        queue(mark);
        queue(answer);
        break;
    }
    case Reply::StaleTwice:
        queue(stale);
        queue(stale);
        break;
    case Reply::StaleTwiceFF:
        queue(stale);
        stale[7] = 0xFF;
        queue(stale);
        break;
    case Reply::StatusFF:
        answer[7] = 0xFF;
        queue(answer);
        break;
    case Reply::StatusFE:
        answer[7] = 0xFE;
        queue(answer);
        break;
    case Reply::UnplugBeforeReply:
        m_interface.unplug();
        break;
    case Reply::Deferred: {
        std::lock_guard held(m_lock);
        m_deferred.push_back(answer);
        break;
    }
    }
    m_requestArrived.set();
}
