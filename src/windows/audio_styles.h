#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace windows {

inline constexpr int kAudioStyleCount = 4;
// The sliders' range for each colour component of a style.
inline constexpr int kAudioLevelMax = 9;

// The four audio-light styles: which one is used, their names and their colours.
struct AudioStyles {
    int selected = 0;
    std::array<std::wstring, kAudioStyleCount> names;
    std::array<std::array<int, 3>, kAudioStyleCount> colours{}; // R, G, B, each 0..9
};

// From the "Device" member of "AudioFile.json". Values of the wrong type are skipped, an
// index outside the four styles reads as the first, components are clamped to 0..9.
AudioStyles readAudioStyles(const Json::Value& device);
void writeAudioStyles(Json::Value& device, const AudioStyles& styles);

// "第一组" ... "第四组": what an emptied name edit falls back to.
std::wstring defaultStyleName(int style);
// The name a style takes when its edit loses focus.
std::wstring styleNameFromEdit(int style, std::wstring_view text);

// The companion's style-colour message: three 32-bit values R, G, B of the selected style
// in this machine's byte order, the rest zero. The companion reads a green of 0 as "none",
// so it travels as 1.
std::array<std::uint8_t, 40> styleColourData(const AudioStyles& styles);

// "AudioFile.json" in the user's folder, with its default copy. Keeps the file's "Device"
// member between opening and saving, as the main window does.
class AudioStyleFile {
public:
    static constexpr const char* kFileName = "AudioFile.json";

    AudioStyleFile(std::filesystem::path userFile, std::filesystem::path defaultFile);

    // The user's styles. A missing user file, or one without "Device", is replaced by the
    // default copy; a damaged one is set aside before that; one that exists but cannot be
    // read is left alone and the default is used in memory only.
    AudioStyles open();
    // Into the kept member and the user's file, keeping the file's other members. False when
    // nothing was written (the file exists but cannot be read).
    bool save(const AudioStyles& styles);

    const std::filesystem::path& userFile() const { return m_userFile; }
    const Json::Value& device() const { return m_device; }

private:
    std::filesystem::path m_userFile;
    std::filesystem::path m_defaultFile;
    Json::Value m_device;
};

} // namespace windows
