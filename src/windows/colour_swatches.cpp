#include "windows/colour_swatches.h"

#include "platform/debug_output.h"
#include "platform/hex.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

#include <algorithm>
#include <limits>

namespace windows {
namespace pj = profile::json;
namespace {

constexpr const char* kRoot = "coloroptioninfo";
constexpr const char* kPresets = "palletDialogcoloroption";
constexpr const char* kPresetSelect = "palletDialogcoloroption_selectitem";
constexpr const char* kCustoms = "palletDialogcollectcoloroption";
constexpr const char* kCustomSelect = "palletDialogcollectcoloroption_selectitem";

int selectIndex(const Json::Value& value)
{
    const auto index = pj::toInt32(value);
    return index && *index >= 0 && *index < kSwatchCount ? *index : -1;
}

bool holdsSwatches(const Json::Value& document)
{
    return pj::member(document, kRoot).isObject();
}

SwatchState stateOf(const Json::Value& document)
{
    SwatchState state;
    const Json::Value& root = pj::member(document, kRoot);
    const Json::Value& presets = pj::member(root, kPresets);
    const Json::Value& customs = pj::member(root, kCustoms);
    for (int i = 0; i < kSwatchCount; ++i) {
        state.presets[i] =
            parseColour(pj::readString(pj::member(pj::element(presets, i), "color")));
        const Json::Value& custom = pj::element(customs, i);
        if (const auto colour = parseColour(pj::readString(pj::member(custom, "color"))))
            state.customs[i] =
                CustomSwatch{*colour, pj::readString(pj::member(custom, "UserData")) == "1"};
    }
    state.presetSelect = selectIndex(pj::member(root, kPresetSelect));
    state.customSelect = selectIndex(pj::member(root, kCustomSelect));
    return state;
}

} // namespace

namespace {
// Saturating, with its sign.
long long parseSigned(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - L'0'), 1'000'000);
    return negative ? -value : value;
}
} // namespace

int parseComponent(std::wstring_view text)
{
    return static_cast<int>(std::clamp<long long>(parseSigned(text), 0, 255));
}

ComponentEdit readComponentEdit(std::wstring_view typed, bool finished)
{
    const long long raw = parseSigned(typed);
    ComponentEdit edit{static_cast<int>(std::clamp<long long>(raw, 0, 255)), std::nullopt};
    const std::wstring canonical = std::to_wstring(edit.value);
    if ((raw != edit.value || finished || typed.empty()) && typed != canonical)
        edit.shown = canonical;
    return edit;
}

std::uint32_t colourFromComponents(int r, int g, int b)
{
    const auto clamp = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
    return 0xFF000000u | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

std::string formatColour(std::uint32_t argb)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, argb >>= 4)
        text[i] = kDigits[argb & 0xF];
    return text;
}

std::optional<std::uint32_t> parseColour(std::string_view text)
{
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.remove_prefix(2);
    else if (text.starts_with("#"))
        text.remove_prefix(1);
    if (text.size() > 8)
        return std::nullopt;
    const auto value = platform::parseHex(text, 0xFFFFFFFF);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

ColourSwatchFile::ColourSwatchFile(std::filesystem::path userFile,
                                   std::filesystem::path defaultFile)
    : m_userFile(std::move(userFile)), m_defaultFile(std::move(defaultFile))
{
}

SwatchState ColourSwatchFile::open() const
{
    const profile::JsonDocument user = profile::readJsonDocument(m_userFile);
    if (user.state == profile::ReadState::Ok && holdsSwatches(user.value))
        return stateOf(user.value);

    const profile::JsonDocument fallback = profile::readJsonDocument(m_defaultFile);
    if (fallback.state != profile::ReadState::Ok) {
        platform::debugOutput("colour swatches: no default file; the skin's swatches stay");
        return {};
    }
    if (user.state == profile::ReadState::Unreadable) {
        // It may read fine next time: do not put the default over the user's colours.
        platform::debugOutput("colour swatches: the user's file cannot be read; default used");
        return stateOf(fallback.value);
    }
    if (user.state == profile::ReadState::Malformed && !profile::setAside(m_userFile)) {
        platform::debugOutput("colour swatches: damaged file kept, it could not be copied aside");
        return stateOf(fallback.value);
    }
    std::error_code ec;
    std::filesystem::create_directories(m_userFile.parent_path(), ec);
    profile::CJsonFile().WriteJson(m_userFile, fallback.value);
    return stateOf(fallback.value);
}

bool ColourSwatchFile::savePresets(const SwatchState& state) const
{
    auto document = profile::readForRewrite(m_userFile);
    if (!document)
        return false;
    Json::Value& root = pj::objectMember(*document, kRoot);
    Json::Value& presets = pj::objectMember(root, kPresets);
    pj::makeArray(presets);
    for (int i = 0; i < kSwatchCount; ++i) {
        if (!state.presets[i])
            continue;
        Json::Value& entry = pj::arrayElement(presets, i);
        pj::makeObject(entry);
        entry["color"] = formatColour(*state.presets[i]);
    }
    root[kPresetSelect] = state.presetSelect;
    std::error_code ec;
    std::filesystem::create_directories(m_userFile.parent_path(), ec);
    return profile::CJsonFile().WriteJson(m_userFile, *document) == 0;
}

bool ColourSwatchFile::saveCustoms(const SwatchState& state) const
{
    auto document = profile::readForRewrite(m_userFile);
    if (!document)
        return false;
    Json::Value& root = pj::objectMember(*document, kRoot);
    Json::Value& customs = pj::objectMember(root, kCustoms);
    pj::makeArray(customs);
    for (int i = 0; i < kSwatchCount; ++i) {
        const CustomSwatch swatch = state.customs[i].value_or(CustomSwatch{});
        Json::Value& entry = pj::arrayElement(customs, i);
        pj::makeObject(entry);
        entry["color"] = formatColour(swatch.colour);
        entry["UserData"] = swatch.holdsColour ? "1" : "";
    }
    root[kCustomSelect] = state.customSelect;
    std::error_code ec;
    std::filesystem::create_directories(m_userFile.parent_path(), ec);
    return profile::CJsonFile().WriteJson(m_userFile, *document) == 0;
}

} // namespace windows
