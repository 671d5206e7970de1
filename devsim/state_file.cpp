#include "devsim/state_file.h"

#include "platform/files.h"
#include "platform/hex.h"

#include <json/json.h>

#include <memory>
#include <sstream>

namespace devsim {
namespace {

constexpr std::string_view kFormatPrefix = "halvek-devsim-";
constexpr int kVersion = 1;

std::string toHex(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0)
        --used;
    std::string hex;
    hex.reserve(used * 2);
    for (std::size_t i = 0; i < used; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

platform::Error invalid(std::string why)
{
    return platform::makeError(platform::Error::Code::InvalidInput, std::move(why));
}

std::string formatOf(const DeviceModel& model)
{
    return std::string(kFormatPrefix) + std::string(model.name);
}

} // namespace

std::string serializeState(const DeviceModel& model, const KeyboardMemory& memory)
{
    Json::Value root(Json::objectValue);
    root["format"] = formatOf(model);
    root["version"] = kVersion;
    Json::Value areas(Json::objectValue);
    for (std::size_t i = 0; i < kAreaCount; ++i) {
        const auto which = static_cast<Area>(i);
        areas[std::string(areaName(which))] = toHex(memory.area(which));
    }
    root["areas"] = areas;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "  ";
    return Json::writeString(writer, root) + "\n";
}

platform::Result<KeyboardMemory> parseState(const DeviceModel& model, const std::string& text)
{
    Json::Value root;
    std::string errors;
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors))
            return invalid("not JSON: " + errors);
    } catch (const std::exception& error) {
        return invalid(std::string("not JSON: ") + error.what());
    }
    if (!root.isObject() || !root["format"].isString() ||
        root["format"].asString() != formatOf(model))
        return invalid("not a " + std::string(model.name) + " state file");
    if (!root["version"].isInt() || root["version"].asInt() != kVersion)
        return invalid("unknown state file version");
    const Json::Value& areas = root["areas"];
    if (!areas.isObject())
        return invalid("no \"areas\" object");

    KeyboardMemory memory = model.factoryMemory();
    for (const auto& name : areas.getMemberNames()) {
        const auto which = areaNamed(name);
        if (!which)
            return invalid("unknown area \"" + name + "\"");
        if (!areas[name].isString())
            return invalid("area \"" + name + "\" is not a string");
        const std::string hex = areas[name].asString();
        const auto bytes = memory.area(*which);
        if (hex.size() % 2 != 0 || hex.size() / 2 > bytes.size())
            return invalid("area \"" + name + "\" has a wrong length");
        std::fill(bytes.begin(), bytes.end(), 0);
        for (std::size_t i = 0; i < hex.size() / 2; ++i) {
            const auto byte = platform::parseHex(std::string_view(hex).substr(2 * i, 2), 0xFF);
            if (!byte)
                return invalid("area \"" + name + "\" is not hexadecimal");
            bytes[i] = static_cast<std::uint8_t>(*byte);
        }
    }
    return memory;
}

platform::Result<KeyboardMemory> loadState(const DeviceModel& model,
                                           const std::filesystem::path& file)
{
    auto text = platform::readFileBounded(file, kMaxStateFileSize);
    if (!text)
        return text.error();
    auto memory = parseState(model, *text);
    if (!memory)
        return invalid(file.string() + ": " + memory.error().message);
    return memory;
}

platform::Result<void> saveState(const DeviceModel& model, const std::filesystem::path& file,
                                 const KeyboardMemory& memory)
{
    return platform::writeFileAtomically(file, serializeState(model, memory));
}

std::string serializeKeyboardState(const KeyboardMemory& memory)
{
    return serializeState(keyboardModel(), memory);
}

platform::Result<KeyboardMemory> parseKeyboardState(const std::string& text)
{
    return parseState(keyboardModel(), text);
}

platform::Result<KeyboardMemory> loadKeyboardState(const std::filesystem::path& file)
{
    return loadState(keyboardModel(), file);
}

platform::Result<void> saveKeyboardState(const std::filesystem::path& file,
                                         const KeyboardMemory& memory)
{
    return saveState(keyboardModel(), file, memory);
}

} // namespace devsim
