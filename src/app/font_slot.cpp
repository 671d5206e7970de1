#include "app/font_slot.h"

#include "platform/paths.h"
#include "ui/private_fonts.h"

#include <atomic>

namespace app {
namespace {
// The font system forgets private fonts all at once; the last slot to go does it.
std::atomic<int> g_loadedSlots{0};
} // namespace

FontSlot::FontSlot(std::filesystem::path programFolder) : m_folder(std::move(programFolder)) {}

FontSlot::~FontSlot()
{
    release();
}

bool FontSlot::load(std::wstring_view relativeFile)
{
    release();
    // The path is built to any length: a deep program folder is not an error.
    const auto inside = platform::pathInside(m_folder, relativeFile);
    if (!inside)
        return false;
    m_path = *inside;
    std::error_code error;
    const auto size = std::filesystem::file_size(m_path, error);
    if (error || size == 0 || size > kMaxFontFileSize || !std::filesystem::is_regular_file(m_path))
        return false;
    if (!ui::addPrivateFont(m_path))
        return false;
    m_loaded = true;
    ++g_loadedSlots;
    return true;
}

void FontSlot::release()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    if (--g_loadedSlots == 0)
        ui::removePrivateFonts();
}

} // namespace app
