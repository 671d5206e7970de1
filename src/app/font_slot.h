#pragma once

#include <filesystem>
#include <string_view>

namespace app {

// One of the program's own font files, made available to the skin for the whole run.
class FontSlot {
public:
    // Font files past this size are not fonts we ship.
    static constexpr std::uintmax_t kMaxFontFileSize = 64 * 1024 * 1024;

    explicit FontSlot(std::filesystem::path programFolder);
    ~FontSlot();
    FontSlot(const FontSlot&) = delete;
    FontSlot& operator=(const FontSlot&) = delete;

    // The file relative to the program folder (either separator). False when it is
    // missing, empty, too large or not a font.
    bool load(std::wstring_view relativeFile);
    void release();
    bool isLoaded() const { return m_loaded; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_path;
    bool m_loaded = false;
};

} // namespace app
