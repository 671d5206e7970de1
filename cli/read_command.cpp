#include "command_registry.h"
#include "keyboard_session.h"
#include "mouse_read.h"

#include "device/protocol/sequences.h"

#include <json/json.h>

#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl [--simulate[=MODE]] [--trace] read WHAT [--json]

Reads one of the keyboard's blocks and prints it, in hex or as JSON:
  settings   the active slot and its 26-byte slot record (the mouse's: 71 bytes, with
             its DPI stages)
  layout     the key layout (through the full read, 3 bytes per key slot)
  ledmap     the LED map (through the full read, one byte per key slot)
  power      the power block (battery, charging, wireless flag)
)";

void print(const Json::Value& value)
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    std::printf("%s\n", Json::writeString(writer, value).c_str());
}

Json::Value byteArray(std::span<const std::uint8_t> bytes)
{
    Json::Value array(Json::arrayValue);
    for (const auto byte : bytes)
        array.append(byte);
    return array;
}

int readSettings(cli::KeyboardSession& session, bool json)
{
    protocol::SlotRecord record{};
    const auto status = protocol::readSlotRecord(session.channel(), record);
    session.flushTrace();
    if (status != protocol::Status::Ok)
        return session.fail("reading the slot record", status);
    if (!json) {
        std::printf("Active slot: %u\nSlot record:\n%s", record[0], cli::hexBytes(record).c_str());
        return 0;
    }
    Json::Value value;
    value["activeSlot"] = record[0];
    value["effect"] = record[1];
    value["brightness"] = record[2];
    value["speed"] = 4 - record[3];
    value["variant"] = record[4];
    value["multiColour"] = record[5];
    value["red"] = record[6];
    value["green"] = record[7];
    value["blue"] = record[8];
    value["ZZCCLedMode"] = record[18];
    value["WFlag"] = record[19];
    value["Key6Flag"] = record[20];
    value["WinFlag"] = record[21];
    value["PollingRate"] = record[22];
    value["CustomGroup"] = record[25];
    value["record"] = byteArray(record);
    print(value);
    return 0;
}

int readKeys(cli::KeyboardSession& session, bool layout, bool json)
{
    protocol::DeviceBlocks blocks;
    const auto result = protocol::fullRead(session.channel(), blocks);
    session.flushTrace();
    const std::size_t slots = blocks.info[protocol::kInfoKeySlotCount];
    if (result.outcome == protocol::FullReadOutcome::BlockSizeRefused) {
        std::fprintf(stderr, "halvekctl read: %zu key slots do not fit a %zu-byte block\n", slots,
                     protocol::kMaxBlockSize);
        return 1;
    }
    if (result.firstFailure != protocol::Status::Ok)
        return session.fail("the full read", result.firstFailure);
    const std::span<const std::uint8_t> bytes =
        layout ? std::span<const std::uint8_t>(blocks.keyLayout).first(3 * slots)
               : std::span<const std::uint8_t>(blocks.ledMap).first(slots);
    if (!json) {
        std::printf("%s (%zu key slots):\n%s", layout ? "Key layout" : "LED map", slots,
                    cli::hexBytes(bytes, layout ? 15 : 16).c_str());
        return 0;
    }
    Json::Value value;
    value["keySlots"] = static_cast<Json::UInt>(slots);
    if (layout) {
        Json::Value entries(Json::arrayValue);
        for (std::size_t slot = 0; slot < slots; ++slot)
            entries.append(byteArray(bytes.subspan(3 * slot, 3)));
        value["layout"] = entries;
    } else {
        value["ledMap"] = byteArray(bytes);
    }
    print(value);
    return 0;
}

int readPower(cli::KeyboardSession& session, bool json)
{
    const auto power = protocol::readPower(session.channel(), protocol::PowerPause::No);
    session.flushTrace();
    if (!power) {
        std::fputs("halvekctl read: the power block could not be read (the receiver cannot "
                   "reach the keyboard, or the read failed; --trace shows the reply)\n",
                   stderr);
        return 1;
    }
    if (!json) {
        std::printf("Battery: %u%%\nCharging: %u\nWireless: %u\nPower block: %s", (*power)[0],
                    (*power)[1], (*power)[protocol::kPowerWirelessFlag],
                    cli::hexBytes(*power).c_str());
        return 0;
    }
    Json::Value value;
    value["battery"] = (*power)[0];
    value["charging"] = (*power)[1];
    value["wireless"] = (*power)[protocol::kPowerWirelessFlag];
    value["notice"] = (*power)[4];
    value["bytes"] = byteArray(*power);
    print(value);
    return 0;
}

int readBlock(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    std::string what;
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (what.empty() && arg.rfind("--", 0) != 0) {
            what = arg;
        } else {
            std::fprintf(stderr, "halvekctl read: unexpected argument '%s'\n", arg.c_str());
            return 2;
        }
    }
    if (what != "settings" && what != "layout" && what != "ledmap" && what != "power") {
        std::fputs("halvekctl read: say settings, layout, ledmap or power\n", stderr);
        return 2;
    }
    cli::KeyboardSession session(options, "read");
    if (!session.open())
        return session.exitStatus();
    if (what == "settings")
        return options.device == "mouse" ? cli::readMouseSettings(session, json)
                                         : readSettings(session, json);
    if (what == "power")
        return readPower(session, json);
    return readKeys(session, what == "layout", json);
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "read",
    "read the keyboard's settings, key layout, LED map or power block",
    kUsage,
    readBlock,
});

} // namespace
