#include "pages/devices/build_picture.h"

#include "pages/devices/device_key_button_ui.h"
#include "platform/text.h"
#include "shell/indexed_name.h"
#include "ui/container_ui.h"

namespace pages {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint8_t kFullBrightness = 255;

// The number of "PREFIX" + n when n is below count.
std::optional<int> indexFor(std::wstring_view text, std::wstring_view prefix, int count)
{
    const auto split = shell::splitIndexedName(text);
    if (!split || !platform::equalsIgnoreCase(split->prefix, prefix) || split->number >= count)
        return std::nullopt;
    return split->number;
}

} // namespace

PictureButtons mapPictureButtons(CControlUI* panel, int keyCount, int lightCount,
                                 LightNames lightNames)
{
    PictureButtons buttons;
    buttons.keys.assign(std::size_t(std::max(keyCount, 0)), nullptr);
    buttons.lights.assign(std::size_t(std::max(lightCount, 0)), nullptr);
    auto* container =
        panel ? static_cast<CContainerUI*>(panel->GetInterface(L"Container")) : nullptr;
    if (container == nullptr)
        return buttons;
    for (int i = 0; i < container->GetCount(); ++i) {
        CControlUI* child = container->GetItemAt(i);
        auto* button =
            child ? static_cast<CDeviceKeyButtonUI*>(child->GetInterface(L"DeviceKeyButton"))
                  : nullptr;
        if (button == nullptr)
            continue;
        const std::wstring name = button->GetName();
        if (const auto key = indexFor(name, L"key_", keyCount))
            buttons.keys[std::size_t(*key)] = button;
        auto light = indexFor(button->GetUserData(), L"light_", lightCount);
        if (!light && lightNames == LightNames::NameOrUserData)
            light = indexFor(name, L"light_", lightCount);
        if (light) {
            buttons.lights[std::size_t(*light)] = button;
            button->setLightOverlay(kWhite, kFullBrightness, true);
        }
    }
    return buttons;
}

} // namespace pages
