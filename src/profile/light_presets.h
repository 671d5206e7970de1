#pragma once

#include "profile/light_info.h"

#include <json/value.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace profile {

inline constexpr const char* kDefaultLightFileName = "default_light.json";
inline constexpr const char* kCustomLightListName = "novik_light.config";
inline constexpr const char* kStepFileExtension = ".light";

// The effect lists a device keeps, filled from the default lighting description and the
// custom lighting list.
struct LightPresets {
    std::vector<std::wstring> effectNames; // text ids, translated at display
    std::vector<std::int32_t> effectVisible;
    std::vector<std::int32_t> effectCodes; // device effect code per effect index
    std::vector<std::wstring> areaNames;
    std::vector<std::wstring> customEffectNames;
};

// Refills the lists whose section exists; a missing file or section keeps what was there.
void loadLightPresets(LightPresets& presets, const std::filesystem::path& defaultLightFile,
                      const std::filesystem::path& customListFile, int variant = 0);

// The device code of an effect index: indices of 31 and more, and indices past the list,
// use entry 0. 0 when the list is empty.
[[nodiscard]] std::int32_t effectCodeForMode(const LightPresets& presets, int mode);
// The first effect index whose code is `code`; the code itself when none has it.
[[nodiscard]] int modeForEffectCode(const LightPresets& presets, std::int32_t code);

// Steps of custom effect `mode` of the custom list `config` (entry "LightInfo"[deviceIndex]
// [mode]). The step file is "<Guid>.light" in `stepFolder`; a Guid that would leave the
// folder gives no steps.
[[nodiscard]] std::vector<EffectStep> readEffectSteps(const Json::Value& config, int deviceIndex,
                                                      int mode,
                                                      const std::filesystem::path& stepFolder);
[[nodiscard]] std::vector<EffectStep> readStepFile(const std::filesystem::path& path);

} // namespace profile
