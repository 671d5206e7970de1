#include "light_png.h"

// TODO: draw the strip without cairo (the Windows build has none); until then the preview
// is written as JSON only and the PNG request fails with a reason.

namespace cli {

bool writeLightStripPng(const std::string& path, const std::vector<model::LightFrame>&,
                        std::string& error)
{
    error = path + ": PNG strips are not available in this Windows build yet; use JSON";
    return false;
}

} // namespace cli
