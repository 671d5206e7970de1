#include "ui/private_fonts.h"

#include "ui/render.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

namespace ui {

bool addPrivateFont(const std::filesystem::path& file)
{
    const auto* name = reinterpret_cast<const FcChar8*>(file.c_str());
    if (!FcConfigAppFontAddFile(FcConfigGetCurrent(), name))
        return false;
    // A fresh font map reads the changed configuration.
    pango_cairo_font_map_set_default(nullptr);
    resetRenderCaches();
    return true;
}

void removePrivateFonts()
{
    FcConfigAppFontClear(FcConfigGetCurrent());
    pango_cairo_font_map_set_default(nullptr);
    resetRenderCaches();
}

} // namespace ui
