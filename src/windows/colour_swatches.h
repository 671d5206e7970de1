#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace windows {

inline constexpr int kSwatchCount = 20;

// One colour component typed by the user: leading blanks and a sign allowed, reading stops
// at the first non-digit, long digit runs saturate; the result is clamped to 0..255.
int parseComponent(std::wstring_view text);
// What an edit of a component holds: its value, and the text it must show instead of what
// was typed: at once when the value was clamped, when editing ends for any other form.
struct ComponentEdit {
    int value = 0;
    std::optional<std::wstring> shown;
};
ComponentEdit readComponentEdit(std::wstring_view typed, bool finished);
// 0xFF000000 + r, g, b.
std::uint32_t colourFromComponents(int r, int g, int b);
// "AARRGGBB", upper case.
std::string formatColour(std::uint32_t argb);
// Base 16, at most 8 digits after an optional "0x"/"#"; nullopt for anything else.
std::optional<std::uint32_t> parseColour(std::string_view text);

struct CustomSwatch {
    std::uint32_t colour = 0xFFFFFFFF;
    bool holdsColour = false; // "UserData" is "1"
};

// The colour window's stored swatches: "color_option_info.config".
struct SwatchState {
    std::array<std::optional<std::uint32_t>, kSwatchCount> presets;
    int presetSelect = -1;
    std::array<std::optional<CustomSwatch>, kSwatchCount> customs; // missing entries stay empty
    int customSelect = -1;
};

class ColourSwatchFile {
public:
    static constexpr const char* kFileName = "color_option_info.config";

    ColourSwatchFile(std::filesystem::path userFile, std::filesystem::path defaultFile);

    // The user's swatches. A missing user file, or one without the swatches, is replaced by
    // the default copy; a damaged one is set aside before that; one that exists but cannot
    // be read is left alone and the default is used in memory only.
    SwatchState open() const;
    // Each rewrites its own members and keeps the rest of the file; a file that exists but
    // cannot be read is not rewritten. False when nothing was written.
    bool savePresets(const SwatchState& state) const;
    bool saveCustoms(const SwatchState& state) const;

    const std::filesystem::path& userFile() const { return m_userFile; }

private:
    std::filesystem::path m_userFile;
    std::filesystem::path m_defaultFile;
};

} // namespace windows
