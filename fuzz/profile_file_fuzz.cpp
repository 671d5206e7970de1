#include "fuzz_folder.h"

#include "profile/hs6533_profile_data.h"
#include "profile/keyboard_profile_data.h"
#include "profile/mouse_profile_data.h"

// The input is both a profile file and its factory file: every loader and the completion.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace profile;
    const auto& folder = freshFuzzFolder();
    writeFuzzFile(folder / "p.Json", data, size);
    writeFuzzFile(folder / "factory.Json", data, size);

    CKeyboardProfiledata keyboard;
    keyboard.SetDefaultPath(folder / "factory.Json");
    keyboard.SetProfilePath(folder / "p.Json");
    keyboard.SetConfigPath(folder / "novik_light.config");
    keyboard.LoadProfileFile(folder / "p.Json");
    keyboard.LoadConfigFile(folder / "p.Json");
    const LightInfo light = keyboard.LoadLightInfo();
    keyboard.LoadAudioLightInfo();
    keyboard.LoadLightList();
    keyboard.LoadEffectSteps();
    auto keys = keyboard.LoadKeyList();
    keyboard.LoadSystemStages();
    const int group = keyboard.LoadCustomGroup();
    auto colours = keyboard.LoadCustomColours(group, 170);
    keyboard.StoreCustomColours(colours, group);
    keyboard.StoreLightInfo(light);
    if (!keys.empty())
        keys.pop_back();
    keyboard.StoreKeyList(keys);
    keyboard.SaveProfile();

    CMouseProfiledata mouse;
    mouse.SetDefaultPath(folder / "factory.Json");
    mouse.LoadProfileFile(folder / "p.Json");
    mouse.StoreDpiStages(mouse.LoadDpiStages());
    mouse.LoadMouseSystemStages();
    mouse.LoadCorrections();

    CHs6533Profiledata headset;
    headset.SetDefaultPath(folder / "factory.Json");
    headset.LoadProfileFile(folder / "p.Json");
    headset.LoadSystemSetStages();
    for (int preset = 0; preset <= 14; ++preset)
        headset.StoreEqValues(preset, headset.LoadEqValues(preset));
    headset.LoadCustomEqValues(2);
    headset.StoreCustomEqNames(headset.LoadCustomEqNames());
    return 0;
}
