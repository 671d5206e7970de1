#include "windows/audio_styles.h"

#include "platform/debug_output.h"
#include "platform/text.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace windows {
namespace pj = profile::json;
namespace {

constexpr const char* kDevice = "Device";
constexpr const char* kInfo = "AudioLightInfo";
constexpr const char* kSelected = "nAudioStyle";
constexpr std::array<const char*, kAudioStyleCount> kNameKeys = {"nStyleName1", "nStyleName2",
                                                                 "nStyleName3", "nStyleName4"};
constexpr std::array<std::array<const char*, 3>, kAudioStyleCount> kColourKeys = {{
    {"nStyleR0", "nStyleG0", "nStyleB0"},
    {"nStyleR1", "nStyleG1", "nStyleB1"},
    {"nStyleR2", "nStyleG2", "nStyleB2"},
    {"nStyleR3", "nStyleG3", "nStyleB3"},
}};
constexpr std::array<const wchar_t*, kAudioStyleCount> kDefaultNames = {L"第一组", L"第二组",
                                                                        L"第三组", L"第四组"};

// A whole number that does not fit 32 bits is out of every range here, not its low bits.
std::optional<std::int64_t> readNumber(const Json::Value& value)
{
    if (value.isInt64())
        return value.asInt64();
    if (value.isUInt64())
        return std::numeric_limits<std::int64_t>::max();
    return pj::toInt32(value);
}

} // namespace

AudioStyles readAudioStyles(const Json::Value& device)
{
    AudioStyles styles;
    const Json::Value& info = pj::member(device, kInfo);
    if (!info.isObject())
        return styles;
    if (const auto index = readNumber(pj::member(info, kSelected)))
        styles.selected = *index >= 0 && *index < kAudioStyleCount ? *index : 0;
    for (int style = 0; style < kAudioStyleCount; ++style) {
        const Json::Value& name = pj::member(info, kNameKeys[style]);
        if (name.isString())
            styles.names[style] = pj::readText(name);
        for (int c = 0; c < 3; ++c)
            if (const auto value = readNumber(pj::member(info, kColourKeys[style][c])))
                styles.colours[style][c] =
                    static_cast<int>(std::clamp<std::int64_t>(*value, 0, kAudioLevelMax));
    }
    return styles;
}

void writeAudioStyles(Json::Value& device, const AudioStyles& styles)
{
    Json::Value& info = pj::objectMember(device, kInfo);
    info[kSelected] = std::clamp(styles.selected, 0, kAudioStyleCount - 1);
    for (int style = 0; style < kAudioStyleCount; ++style) {
        info[kNameKeys[style]] = platform::toUtf8(styles.names[style]);
        for (int c = 0; c < 3; ++c)
            info[kColourKeys[style][c]] = std::clamp(styles.colours[style][c], 0, kAudioLevelMax);
    }
}

std::wstring defaultStyleName(int style)
{
    return style >= 0 && style < kAudioStyleCount ? kDefaultNames[style] : L"";
}

std::wstring styleNameFromEdit(int style, std::wstring_view text)
{
    return text.empty() ? defaultStyleName(style) : std::wstring(text);
}

std::array<std::uint8_t, 40> styleColourData(const AudioStyles& styles)
{
    const int selected = std::clamp(styles.selected, 0, kAudioStyleCount - 1);
    std::array<std::int32_t, 3> rgb{};
    for (int c = 0; c < 3; ++c)
        rgb[c] = std::clamp(styles.colours[selected][c], 0, kAudioLevelMax);
    if (rgb[1] == 0)
        rgb[1] = 1;
    std::array<std::uint8_t, 40> data{};
    std::memcpy(data.data(), rgb.data(), sizeof rgb);
    return data;
}

AudioStyleFile::AudioStyleFile(std::filesystem::path userFile, std::filesystem::path defaultFile)
    : m_userFile(std::move(userFile)), m_defaultFile(std::move(defaultFile))
{
}

AudioStyles AudioStyleFile::open()
{
    const profile::JsonDocument user = profile::readJsonDocument(m_userFile);
    if (user.state == profile::ReadState::Ok && pj::member(user.value, kDevice).isObject()) {
        m_device = pj::member(user.value, kDevice);
        return readAudioStyles(m_device);
    }
    const profile::JsonDocument fallback = profile::readJsonDocument(m_defaultFile);
    if (fallback.state != profile::ReadState::Ok) {
        platform::debugOutput("audio styles: no default file; the styles stay empty");
        m_device = Json::Value();
        return {};
    }
    m_device = pj::member(fallback.value, kDevice);
    if (user.state == profile::ReadState::Unreadable) {
        // It may read fine next time: do not put the default over the user's styles.
        platform::debugOutput("audio styles: the user's file cannot be read; default used");
        return readAudioStyles(m_device);
    }
    // A "Device" of the wrong type is damage, not absence: keep a copy of it too.
    const bool damaged = user.state == profile::ReadState::Malformed ||
                         (user.state == profile::ReadState::Ok && user.value.isObject() &&
                          user.value.isMember(kDevice));
    if (damaged && !profile::setAside(m_userFile)) {
        platform::debugOutput("audio styles: damaged file kept, it could not be copied aside");
        return readAudioStyles(m_device);
    }
    std::error_code ec;
    std::filesystem::create_directories(m_userFile.parent_path(), ec);
    profile::CJsonFile().WriteJson(m_userFile, fallback.value);
    return readAudioStyles(m_device);
}

bool AudioStyleFile::save(const AudioStyles& styles)
{
    pj::makeObject(m_device);
    writeAudioStyles(m_device, styles);
    auto document = profile::readForRewrite(m_userFile);
    if (!document) {
        platform::debugOutput("audio styles: the user's file cannot be read; not rewritten");
        return false;
    }
    pj::makeObject(*document);
    (*document)[kDevice] = m_device;
    std::error_code ec;
    std::filesystem::create_directories(m_userFile.parent_path(), ec);
    return profile::CJsonFile().WriteJson(m_userFile, *document) == 0;
}

} // namespace windows
