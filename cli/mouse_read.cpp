#include "mouse_read.h"

#include "device/protocol/mouse_sequences.h"

#include <json/json.h>

#include <cstdio>

namespace cli {
namespace {

namespace record = protocol::mouse_record;

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

Json::Value dpiStages(const protocol::MouseRecord& bytes)
{
    Json::Value stages(Json::arrayValue);
    for (std::size_t i = 0; i < record::kDpiStageCount; ++i) {
        const std::size_t at = record::kDpiStages + i * record::kDpiStageSize;
        Json::Value stage;
        stage["enabled"] = bytes[at];
        stage["separateXY"] = bytes[at + 1];
        stage["dpiX"] = get16(bytes, at + 2);
        stage["dpiY"] = get16(bytes, at + 4);
        stage["red"] = bytes[at + 6];
        stage["green"] = bytes[at + 7];
        stage["blue"] = bytes[at + 8];
        stages.append(stage);
    }
    return stages;
}

} // namespace

int readMouseSettings(KeyboardSession& session, bool json)
{
    protocol::MouseRecord bytes{};
    const auto status = protocol::readMouseRecord(session.channel(), bytes);
    session.flushTrace();
    if (status != protocol::Status::Ok)
        return session.fail("reading the mouse's slot record", status);
    if (!json) {
        std::printf("Active slot: %u\nSlot record:\n%s", bytes[record::kActiveSlot],
                    hexBytes(bytes).c_str());
        for (std::size_t i = 0; i < record::kDpiStageCount; ++i) {
            const std::size_t at = record::kDpiStages + i * record::kDpiStageSize;
            std::printf("DPI stage %zu%s: %u x %u%s\n", i,
                        i == bytes[record::kActiveDpiStage] ? " (active)" : "",
                        get16(bytes, at + 2), get16(bytes, at + 4), bytes[at] ? "" : ", off");
        }
        return 0;
    }
    Json::Value value;
    value["activeSlot"] = bytes[record::kActiveSlot];
    value["effect"] = bytes[record::kEffect];
    value["brightness"] = bytes[record::kBrightness];
    value["speed"] = 4 - bytes[record::kSpeed];
    value["variant"] = bytes[record::kVariant];
    value["multiColour"] = bytes[record::kMultiColour];
    value["red"] = bytes[record::kRed];
    value["green"] = bytes[record::kGreen];
    value["blue"] = bytes[record::kBlue];
    value["reportStage"] = bytes[record::kReportStage];
    value["activeDpiStage"] = bytes[record::kActiveDpiStage];
    value["dpiStages"] = dpiStages(bytes);
    value["correctionMinSquare"] = bytes[record::kCorrectionMinSquare];
    value["correctionThreshold"] = bytes[record::kCorrectionThreshold];
    Json::Value raw(Json::arrayValue);
    for (const auto byte : bytes)
        raw.append(byte);
    value["record"] = raw;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    std::printf("%s\n", Json::writeString(writer, value).c_str());
    return 0;
}

} // namespace cli
