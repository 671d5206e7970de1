// Every command against every fault the emulated keyboard can show, on the cable and through
// the receiver: the exact status code, and every case ends within a bounded wait. The cases
// of one fault run side by side, so the time-outs of lost replies are paid once.

#include "device/protocol/device_protocol.h"
#include "devsim/keyboard.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <vector>

using devsim::Fault;
using devsim::KeyboardLink;
using protocol::Status;

namespace {

// Far beyond two receiver time-outs; reaching it means a hang.
constexpr std::chrono::seconds kBound{60};
constexpr std::size_t kBlock = 378; // 126 key slots

struct CommandCase {
    std::string name;
    std::function<Status(CDeviceProtocol&)> run;
    std::size_t writeBytes = 0; // payload of a chunked write; 0 for everything else
    std::size_t chunkSize = 0;  // 0: the link's chunk size
    bool quick = false;         // live frames: cable only
};

Status fromBool(bool up)
{
    return up ? Status::Ok : Status::NoReply;
}

const std::vector<CommandCase>& commandCases()
{
    static const std::vector<std::uint8_t> block(kBlock, 0x20);
    static const std::vector<std::uint8_t> record(26, 0x01);
    static const std::vector<std::uint8_t> macros(60, 0x02);
    static const std::vector<std::uint8_t> pattern(100, 0x03);
    static const std::vector<std::uint8_t> live(384, 0x04);
    static const std::vector<CommandCase> cases{
        {"Begin", [](CDeviceProtocol& c) { return c.Begin(); }},
        {"End", [](CDeviceProtocol& c) { return c.End(); }},
        {"ReadInfo",
         [](CDeviceProtocol& c) {
             std::array<std::uint8_t, 34> info{};
             return c.ReadInfo(info);
         }},
        {"ReadSettings",
         [](CDeviceProtocol& c) {
             std::array<std::uint8_t, 26> bytes{};
             return c.ReadSettings(bytes, 25);
         }},
        {"WriteSettings", [](CDeviceProtocol& c) { return c.WriteSettings(record, 25); },
         record.size()},
        {"ReadKeyLayout",
         [](CDeviceProtocol& c) {
             std::array<std::uint8_t, 512> layout{};
             return c.ReadKeyLayout(layout);
         }},
        {"WriteKeyMap", [](CDeviceProtocol& c) { return c.WriteKeyMap(block, 0, 0); },
         block.size()},
        {"WriteCustomColours",
         [](CDeviceProtocol& c) { return c.WriteCustomColours(block, 1, 512, 0); }, block.size()},
        {"LiveColours", [](CDeviceProtocol& c) { return c.LiveColours(live, 0); }, live.size(), 0,
         true},
        {"WriteMacros", [](CDeviceProtocol& c) { return c.WriteMacros(macros, 0); }, macros.size()},
        {"WriteShootData", [](CDeviceProtocol& c) { return c.WriteShootData(pattern, 0); },
         pattern.size(), protocol::kShootDataChunkSize},
        {"ReadPower",
         [](CDeviceProtocol& c) {
             std::array<std::uint8_t, 6> power{};
             return c.ReadPower(power, 0);
         }},
        {"ReadLedMap",
         [](CDeviceProtocol& c) {
             std::array<std::uint8_t, 512> leds{};
             return c.ReadLedMap(leds);
         }},
        {"HostLighting", [](CDeviceProtocol& c) { return c.HostLighting(); }},
        {"LinkStatus", [](CDeviceProtocol& c) { return fromBool(c.LinkStatus()); }},
    };
    return cases;
}

// What the host must report for this command, fault and link.
Status expected(const CommandCase& command, Fault fault, KeyboardLink link)
{
    const bool receiver = link == KeyboardLink::Receiver;
    if (command.quick && receiver)
        return Status::NoReply; // never sent through the receiver
    if (command.name == "LinkStatus") {
        if (!receiver)
            return Status::Ok; // nothing is asked on the cable
        switch (fault) {
        case Fault::None:
        case Fault::WrongEcho:
        case Fault::ForeignLength:
        case Fault::ReceiverMark: // the mark is this command's own echo, saying "reachable"
        case Fault::UnplugMidWrite:
            return Status::Ok;
        default:
            return Status::NoReply;
        }
    }
    const std::size_t chunk =
        command.chunkSize ? command.chunkSize
                          : (receiver ? protocol::kReceiverChunkSize : protocol::kWiredChunkSize);
    const bool chunkedWrite = command.writeBytes > chunk;
    switch (fault) {
    case Fault::None:
    case Fault::WrongEcho:
    case Fault::ForeignLength:
        return Status::Ok;
    case Fault::Lost:
    case Fault::Late:
    case Fault::UnplugBeforeReply:
        return Status::NoReply;
    case Fault::WrongEchoTwice:
    case Fault::WrongEchoTwiceFF:
    case Fault::ForeignOffset:
        // Two replies that answer something else leave the request unanswered, its status
        // byte unread.
        return Status::NoReply;
    case Fault::ReceiverMark:
        return receiver ? Status::ReceiverAsleep : Status::Ok;
    case Fault::StatusFF:
        return Status::DeviceErrorFF;
    case Fault::StatusFE:
        return Status::DeviceErrorFE;
    case Fault::UnplugMidWrite:
        return chunkedWrite ? Status::NoReply : Status::Ok;
    }
    return Status::Ok;
}

struct Outcome {
    Status status = Status::Ok;
    bool stillPlugged = true;
};

Outcome runCase(const CommandCase& command, Fault fault, KeyboardLink link, bool asleep)
{
    devsim::Keyboard keyboard;
    keyboard.plug(link);
    keyboard.setAsleep(asleep);
    CDeviceProtocol channel;
    const bool receiver = link == KeyboardLink::Receiver;
    if (!channel.openLink(receiver ? protocol::Link::Receiver : protocol::Link::Wired,
                          keyboard.commandPath(link)))
        return {Status::WriteFailed, false};
    channel.setLinkMode(receiver ? protocol::LinkMode::Receiver : protocol::LinkMode::Wired);
    (void)channel.setBlockSize(kBlock);
    keyboard.injectFault(fault);
    Outcome outcome;
    outcome.status = command.run(channel);
    outcome.stillPlugged = keyboard.isPlugged(link);
    return outcome;
}

void runMatrixRow(Fault fault, bool asleep = false)
{
    struct Pending {
        const CommandCase* command;
        KeyboardLink link;
        std::future<Outcome> outcome;
    };
    std::vector<Pending> pending;
    for (const auto& command : commandCases()) {
        for (const KeyboardLink link : {KeyboardLink::Cable, KeyboardLink::Receiver}) {
            if (asleep && link == KeyboardLink::Cable)
                continue;
            pending.push_back(
                {&command, link, std::async(std::launch::async, [&command, fault, link, asleep] {
                     return runCase(command, fault, link, asleep);
                 })});
        }
    }
    for (auto& item : pending) {
        const bool receiver = item.link == KeyboardLink::Receiver;
        SCOPED_TRACE(item.command->name + (receiver ? " through the receiver" : " on the cable"));
        ASSERT_EQ(item.outcome.wait_for(kBound), std::future_status::ready) << "hung";
        const Outcome outcome = item.outcome.get();
        Status want = expected(*item.command, fault, item.link);
        if (asleep && !(item.command->quick))
            want = item.command->name == "LinkStatus" ? Status::NoReply : Status::ReceiverAsleep;
        EXPECT_EQ(protocol::code(outcome.status), protocol::code(want));
        const bool unplugged = fault == Fault::UnplugBeforeReply ||
                               (fault == Fault::UnplugMidWrite && want == Status::NoReply &&
                                !(item.command->quick && receiver));
        if (!asleep && item.command->name != "LinkStatus" && !(item.command->quick && receiver)) {
            EXPECT_EQ(outcome.stillPlugged, !unplugged);
        }
    }
}

class FaultMatrix : public ::testing::TestWithParam<Fault> {};

} // namespace

TEST(FaultMatrixBaseline, EveryCommandSucceedsWithoutAFault)
{
    runMatrixRow(Fault::None);
}

TEST(FaultMatrixBaseline, EveryCommandThroughASleepingKeyboardsReceiverIsUnreachable)
{
    runMatrixRow(Fault::None, true);
}

TEST_P(FaultMatrix, EveryCommandGivesTheFaultsStatus)
{
    runMatrixRow(GetParam());
}

INSTANTIATE_TEST_SUITE_P(AllFaults, FaultMatrix, ::testing::ValuesIn(devsim::allFaults()),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             std::string name(devsim::faultName(info.param));
                             std::erase(name, '-');
                             return name;
                         });
