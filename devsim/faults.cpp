#include "devsim/faults.h"

#include <array>

namespace devsim {
namespace {

struct NamedFault {
    Fault fault;
    std::string_view name;
};

constexpr std::array<NamedFault, 13> kNames{{
    {Fault::None, "none"},
    {Fault::Lost, "lost"},
    {Fault::Late, "late"},
    {Fault::WrongEcho, "wrong-echo"},
    {Fault::WrongEchoTwice, "wrong-echo-twice"},
    {Fault::WrongEchoTwiceFF, "wrong-echo-twice-ff"},
    {Fault::ReceiverMark, "receiver-mark"},
    {Fault::StatusFF, "status-ff"},
    {Fault::StatusFE, "status-fe"},
    {Fault::UnplugBeforeReply, "unplug-before-reply"},
    {Fault::UnplugMidWrite, "unplug-mid-write"},
    {Fault::ForeignOffset, "foreign-offset"},
    {Fault::ForeignLength, "foreign-length"},
}};

constexpr std::array<Fault, 12> kAll{Fault::Lost,
                                     Fault::Late,
                                     Fault::WrongEcho,
                                     Fault::WrongEchoTwice,
                                     Fault::WrongEchoTwiceFF,
                                     Fault::ReceiverMark,
                                     Fault::StatusFF,
                                     Fault::StatusFE,
                                     Fault::UnplugBeforeReply,
                                     Fault::UnplugMidWrite,
                                     Fault::ForeignOffset,
                                     Fault::ForeignLength};

} // namespace

std::span<const Fault> allFaults()
{
    return kAll;
}

std::string_view faultName(Fault fault)
{
    for (const auto& entry : kNames) {
        if (entry.fault == fault)
            return entry.name;
    }
    return "none";
}

std::optional<Fault> faultNamed(std::string_view name)
{
    for (const auto& entry : kNames) {
        if (entry.name == name)
            return entry.fault;
    }
    return std::nullopt;
}

Fault FaultScript::take(std::uint8_t command, bool isWrite, std::size_t offset, std::size_t length)
{
    const bool continuesWrite =
        isWrite && m_previousWasWrite && command == m_previousCommand && offset == m_nextOffset;
    m_previousCommand = command;
    m_previousWasWrite = isWrite;
    m_nextOffset = offset + length;
    if (m_faults.empty())
        return Fault::None;
    const Fault next = m_faults.front();
    if (next == Fault::UnplugMidWrite && !continuesWrite)
        return Fault::None;
    m_faults.pop_front();
    return next;
}

} // namespace devsim
