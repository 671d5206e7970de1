#pragma once

#include "ui/observer_impl.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace windows {

// One background choice for the main window: a plain colour, or an image (a skin image
// name or a full path).
struct SkinChangedParam {
    bool isColour = false;
    std::uint32_t colour = 0; // ARGB
    std::wstring image;
};

using SkinObserver = ObserverImpl<int, SkinChangedParam>;
using SkinReceiver = ReceiverImpl<int, SkinChangedParam>;

// The one observer every skin choice goes through; lives until the process ends.
SkinObserver& skinObserver();

inline constexpr std::wstring_view kDefaultBackground = L"common/background.png";

// The background kept in "main.ini": section "SKINIMAGE", "FLAGS" (1 a ready image,
// 0 after a reset) and "IMAGE".
struct SavedSkin {
    int flags = 0;
    std::wstring image;
};

class SkinIni {
public:
    explicit SkinIni(std::filesystem::path file) : m_file(std::move(file)) {}

    // Rewrites the two keys and keeps every other line of the file. False when the file
    // exists but cannot be read (it is left alone) or cannot be written.
    bool save(int flags, std::wstring_view image) const;
    // Nullopt when the file or the section is missing or unreadable.
    std::optional<SavedSkin> load() const;
    // The image to show at start: a saved ready image that names a file of the skin
    // folder, never one outside it.
    std::optional<std::wstring> startImage() const;

    const std::filesystem::path& file() const { return m_file; }

private:
    std::filesystem::path m_file;
};

} // namespace windows
