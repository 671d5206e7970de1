#include "platform/debug_output.h"
#include "ui/window_backend.h"

#include <map>
#include <mutex>

namespace ui {
namespace {

struct IconFiles {
    std::mutex lock;
    std::map<UINT, std::wstring> files;
};

IconFiles& iconFiles()
{
    static IconFiles icons;
    return icons;
}

} // namespace

void registerIconResource(UINT resourceId, std::wstring_view file)
{
    std::lock_guard guard(iconFiles().lock);
    iconFiles().files[resourceId] = file;
}

std::optional<Image> loadIconResource(UINT resourceId, int size)
{
    std::wstring file;
    {
        std::lock_guard guard(iconFiles().lock);
        const auto found = iconFiles().files.find(resourceId);
        if (found == iconFiles().files.end())
            return std::nullopt;
        file = found->second;
    }
    if (size <= 0 || size > 1024)
        return std::nullopt;
    auto canvas = createImageCanvas(size, size);
    canvas->clear(0x00000000);
    ImageSource source;
    source.file = file;
    if (!canvas->drawImage(RECT{0, 0, size, size}, source, 1.0)) {
        platform::debugOutput(L"window icon not drawn: " + file);
        return std::nullopt;
    }
    return snapshot(*canvas);
}

} // namespace ui
