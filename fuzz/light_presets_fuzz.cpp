#include "fuzz_folder.h"

#include "profile/json_file.h"
#include "profile/light_presets.h"

// The input is the default lighting description, the custom list and a step file at once.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace profile;
    const auto& folder = freshFuzzFolder();
    writeFuzzFile(folder / kDefaultLightFileName, data, size);
    writeFuzzFile(folder / kCustomLightListName, data, size);

    LightPresets presets;
    loadLightPresets(presets, folder / kDefaultLightFileName, folder / kCustomLightListName);
    for (int mode = -1; mode < 40; ++mode)
        (void)modeForEffectCode(presets, effectCodeForMode(presets, mode));
    const Json::Value config = CJsonFile().ReadJson(folder / kCustomLightListName);
    for (int mode = 0; mode < 4; ++mode)
        (void)readEffectSteps(config, 0, mode, folder);
    (void)readStepFile(folder / kCustomLightListName);
    return 0;
}
