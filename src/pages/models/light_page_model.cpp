#include "pages/models/light_page_model.h"

#include "device/model/keyboard_model.h"
#include "device/model/usb_device_model.h"

#include <algorithm>
#include <cwctype>

namespace pages {
namespace {

// One effect's row: colour 1 / 0, or kSevenOff (the seven-colour option off, the colour
// areas on); fx, light and speed 1 / 0 or kLeave; speed kHidden is off and out of sight.
constexpr int kLeave = -1;
constexpr int kSevenOff = 2;
constexpr int kHidden = 2;

struct Row {
    int colour;
    int fx;
    int light;
    int speed;
    bool same = false;
};

void applyRow(LightPageStates& states, const Row& row, bool sameAllowed)
{
    if (row.colour == kSevenOff) {
        states.sevenColourEnabled = false;
        states.colourAreasEnabled = true;
    } else {
        states.sevenColourEnabled = row.colour == 1;
        states.colourAreasEnabled = row.colour == 1;
    }
    if (row.fx != kLeave)
        states.fxEnabled = row.fx == 1;
    if (row.light != kLeave)
        states.lightEnabled = row.light == 1;
    if (row.speed != kLeave) {
        states.speedEnabled = row.speed == 1;
        if (row.speed == kHidden) {
            states.speedEnabled = false;
            states.speedShown = false;
        }
    }
    if (row.same && sameAllowed)
        states.sameShown = true;
}

void directions(LightPageStates& states, std::wstring_view first, std::wstring_view second)
{
    states.firstDirectionText = first;
    states.secondDirectionText = second;
}

LightPageStates keyboardStates(int effect, bool sameAllowed)
{
    LightPageStates states;
    states.rgbEnabled = true;
    states.customShown = false;
    states.sameShown = false;
    states.fxEnabled = true;
    states.speedShown = true;
    states.subModeShown = false;
    states.colourLayoutEnabled = true;
    directions(states, L"light_set_right_to_left_text", L"light_set_left_to_right_text");
    states.audioModeShown = false;
    states.colourTab = 0;

    Row row{0, 0, 0, 0};
    switch (effect) {
    case 1:
    case 2:
        row = {1, kLeave, 1, 1};
        break;
    case 3:
    case 24:
        row = {1, kLeave, 1, 1};
        directions(states, L"light_set_clockwise_text", L"light_set_anticlockwise_text");
        break;
    case 4:
        row = {0, 0, 1, 1, true};
        states.colourLayoutEnabled = false;
        break;
    case 5:
    case 23:
        row = {1, 0, 1, 1, true};
        break;
    case 6:
        row = {1, 0, 1, 0, true};
        break;
    case 7:
    case 8:
    case 9:
    case 10:
    case 13:
    case 14:
    case 15:
    case 22:
    case 25:
        row = {1, 0, 1, 1};
        break;
    case 11:
    case 26:
        row = {0, 0, 1, 1};
        states.colourLayoutEnabled = false;
        break;
    case 12:
        row = {0, kLeave, 1, 1};
        states.rgbEnabled = false;
        directions(states, L"light_set_down_to_up_text", L"light_set_up_to_down_text");
        break;
    case 16:
        row = {1, 0, 1, 0};
        break;
    case 17:
        row = {0, 0, 1, 1};
        states.speedShown = false;
        states.subModeShown = true;
        states.colourLayoutEnabled = false;
        break;
    case 18:
        row = {0, 1, 1, 0};
        states.colourLayoutEnabled = false;
        directions(states, L"light_set_outside_to_inside_text",
                   L"light_set_inside_to_outside_text");
        break;
    case kCustomEffect:
        row = {kSevenOff, 0, 1, kHidden};
        states.customShown = true;
        break;
    case 21:
        row = {1, kLeave, 1, 1};
        directions(states, L"light_set_up_to_down_text", L"light_set_down_to_up_text");
        break;
    case 27:
        row = {0, 0, 1, 1};
        break;
    case 28:
        row = {0, 0, 0, 0, true};
        break;
    case kAudioEffect:
        row = {1, kLeave, 1, kHidden};
        states.audioModeShown = true;
        states.colourTab = 1;
        break;
    case 30:
        row = {0, 0, 1, 0};
        states.colourLayoutEnabled = false;
        break;
    default: // 0, 19 and anything above 30
        break;
    }
    applyRow(states, row, sameAllowed);
    return states;
}

Row mouseRow(int effect)
{
    switch (effect) {
    case 0:
    case 5:
        return {1, kLeave, 1, 1};
    case 1:
        return {0, 0, 1, 1, true};
    case 2:
    case 4:
    case 6:
        return {1, 0, 1, 1, true};
    case 3:
        return {kSevenOff, 0, 1, 0, true};
    case 7:
    case 8:
        return {0, 0, 1, 1};
    case 9:
        return {0, 0, 0, 0, true};
    default:
        return {0, 0, 0, 0};
    }
}

// Mouse pads and headsets.
Row padRow(int effect)
{
    switch (effect) {
    case 0:
        return {1, kLeave, 1, 1};
    case 1:
        return {0, 0, 1, 1, true};
    case 2:
    case 4:
        return {1, 0, 1, 1, true};
    case 3:
        return {kSevenOff, 0, 1, 0, true};
    case 8:
        return {0, 0, 0, 0, true};
    default:
        return {0, 0, 0, 0};
    }
}

} // namespace

LightPageStates lightPageStates(std::optional<detect::DeviceKind> kind, int effect,
                                bool sameAllowed)
{
    if (kind == detect::DeviceKind::Keyboard)
        return keyboardStates(effect, sameAllowed);
    LightPageStates states;
    if (!kind)
        return states;
    states.sameShown = false;
    states.fxEnabled = true;
    // Pads and headsets share one effect list.
    applyRow(states, kind == detect::DeviceKind::Mouse ? mouseRow(effect) : padRow(effect),
             sameAllowed);
    return states;
}

std::vector<LightPageLimit> lightPageLimits(const model::Capabilities& capabilities)
{
    using model::Capability;
    std::vector<LightPageLimit> limits;
    if (!capabilities.has(Capability::CustomColours))
        limits.push_back({L"lightcustom_layout", L"light_no_custom_colours_tip_text"});
    if (!capabilities.has(Capability::AudioInput))
        limits.push_back({L"light_combo_AudiomodeSelectLayout", L"light_no_audio_input_tip_text"});
    // The sync hands the same settings to every device's own lighting.
    if (!capabilities.has(Capability::Lighting))
        limits.push_back({L"deng_same_mode", L"light_no_sync_tip_text"});
    return limits;
}

std::uint8_t parseColourComponent(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    int value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min(value * 10 + (text[i] - L'0'), 1000); // saturates past any component
    if (negative)
        return 0;
    return static_cast<std::uint8_t>(std::min(value, 255));
}

std::uint32_t argbOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return 0xFF000000u | std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue;
}

Rgb8 componentsOf(std::uint32_t argb)
{
    return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb)};
}

ChangeResult storeLighting(model::UsbDeviceModel& device,
                           const std::function<void(profile::LightInfo&)>& change)
{
    device.channel().setLightingSync(false);
    profile::LightInfo settings = device.GetLightSettings();
    change(settings);
    // The device takes the settings as a value and shows them; nothing is read back from
    // the file it is about to save.
    device.SetLightSettings(profile::toWords(settings));
    ChangeResult result;
    result.save(device.CommitProfile());
    if (!device.has(model::Capability::Lighting))
        result.device(protocol::Status::NotSupported);
    if (device.has(model::Capability::SlotRecord))
        result.device(device.WriteSlotRecord(0, 0));
    return result;
}

void setColour(profile::LightInfo& settings, Rgb8 colour)
{
    settings.red = colour.red;
    settings.green = colour.green;
    settings.blue = colour.blue;
    settings.multiColour = 0;
}

ChangeResult selectCustomGroup(model::KeyboardModel& keyboard, int group)
{
    ChangeResult result;
    if (group < 0 || group >= profile::kMaxCustomGroups)
        return result;
    keyboard.profile().StoreCustomGroup(group);
    // The lights and the custom colour writes follow the group of the light settings.
    profile::LightInfo settings = keyboard.GetLightSettings();
    settings.customGroup = static_cast<std::uint8_t>(group);
    keyboard.SetLightSettings(profile::toWords(settings));
    result.save(keyboard.CommitProfile());
    if (settings.mode == kCustomEffect) {
        result.device(keyboard.WriteCustomColourGroup());
        // The keyboard shows the group its slot record names.
        result.device(keyboard.WriteSlotRecord(0, 0));
    }
    return result;
}

ChangeResult fillCustomColours(model::KeyboardModel& keyboard, CustomFill fill, bool groupSelected)
{
    const profile::LightInfo settings = keyboard.GetLightSettings();
    const model::Rgb colour = fill == CustomFill::Lit
                                  ? model::Rgb{settings.red, settings.green, settings.blue}
                                  : model::Rgb{};
    return writtenBy(keyboard.FillCustomColours(colour, groupSelected));
}

AudioColourSlot slotOf(const profile::AudioLightInfo& audio)
{
    return audio.colourSelector == 1 ? AudioColourSlot::Foreground : AudioColourSlot::Background;
}

Rgb8 audioColour(const profile::AudioLightInfo& audio, AudioColourSlot slot)
{
    if (slot == AudioColourSlot::Foreground)
        return {audio.foreRed, audio.foreGreen, audio.foreBlue};
    return {audio.backRed, audio.backGreen, audio.backBlue};
}

void setAudioColour(profile::AudioLightInfo& audio, AudioColourSlot slot, Rgb8 colour)
{
    if (slot == AudioColourSlot::Foreground) {
        audio.foreRed = colour.red;
        audio.foreGreen = colour.green;
        audio.foreBlue = colour.blue;
        audio.multiColour = 0;
        return;
    }
    audio.backRed = colour.red;
    audio.backGreen = colour.green;
    audio.backBlue = colour.blue;
}

ChangeResult storeAudio(model::UsbDeviceModel& device, const profile::AudioLightInfo& audio)
{
    device.SetAudioParams(profile::toWords(audio));
    ChangeResult result;
    result.save(device.CommitProfile());
    if (!device.has(model::Capability::Lighting))
        result.device(protocol::Status::NotSupported);
    return result;
}

} // namespace pages
