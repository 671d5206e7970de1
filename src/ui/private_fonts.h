#pragma once

#include <filesystem>

namespace ui {

// Makes a font file usable by the skin's text, by family name, in this process only.
// False when the font system does not take the file.
bool addPrivateFont(const std::filesystem::path& file);
// Forgets every font added this way.
void removePrivateFonts();

} // namespace ui
