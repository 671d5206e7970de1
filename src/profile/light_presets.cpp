#include "profile/light_presets.h"

#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/record_json.h"

namespace profile {
namespace {

constexpr int kFirstUnknownMode = 31;

} // namespace

void loadLightPresets(LightPresets& presets, const std::filesystem::path& defaultLightFile,
                      const std::filesystem::path& customListFile, int variant)
{
    const CJsonFile file;
    const Json::Value description = file.ReadJson(defaultLightFile);
    const Json::Value& effects =
        json::element(json::member(description, "DefaultLightName"), variant);
    if (!effects.isNull()) {
        presets.effectNames.clear();
        presets.effectVisible.clear();
        presets.effectCodes.clear();
        for (Json::ArrayIndex i = 0; i < json::arraySize(effects); ++i) {
            const Json::Value& entry = effects[i];
            presets.effectNames.push_back(json::readText(json::member(entry, "LightName")));
            presets.effectVisible.push_back(json::readFlag(json::member(entry, "visible")) ? 1 : 0);
            presets.effectCodes.push_back(json::readInt(json::member(entry, "value")));
        }
    }
    const Json::Value& areas = json::element(json::member(description, "AreaLightName"), variant);
    if (!areas.isNull()) {
        presets.areaNames.clear();
        for (Json::ArrayIndex i = 0; i < json::arraySize(areas); ++i)
            presets.areaNames.push_back(json::readText(json::member(areas[i], "LightName")));
    }
    const Json::Value custom = file.ReadJson(customListFile);
    const Json::Value& customEffects = json::element(json::member(custom, "LightInfo"), variant);
    if (!customEffects.isNull()) {
        presets.customEffectNames.clear();
        for (Json::ArrayIndex i = 0; i < json::arraySize(customEffects); ++i)
            presets.customEffectNames.push_back(
                json::readText(json::member(customEffects[i], "LightName")));
    }
}

std::int32_t effectCodeForMode(const LightPresets& presets, int mode)
{
    if (mode < 0 || mode >= kFirstUnknownMode ||
        static_cast<std::size_t>(mode) >= presets.effectCodes.size())
        mode = 0;
    return presets.effectCodes.empty() ? 0 : presets.effectCodes[static_cast<std::size_t>(mode)];
}

int modeForEffectCode(const LightPresets& presets, std::int32_t code)
{
    for (std::size_t i = 0; i < presets.effectCodes.size(); ++i) {
        if (presets.effectCodes[i] == code)
            return static_cast<int>(i);
    }
    return code;
}

std::vector<EffectStep> readEffectSteps(const Json::Value& config, int deviceIndex, int mode,
                                        const std::filesystem::path& stepFolder)
{
    // The effect index is used as the position in the custom list whatever the effect is;
    // the device decides whether the steps play.
    const Json::Value& entry =
        json::element(json::element(json::member(config, "LightInfo"), deviceIndex), mode);
    if (entry.isNull())
        return {};
    const auto path =
        fileInFolder(stepFolder, json::readString(json::member(entry, "Guid")), kStepFileExtension);
    return path ? readStepFile(*path) : std::vector<EffectStep>{};
}

std::vector<EffectStep> readStepFile(const std::filesystem::path& path)
{
    const Json::Value document = CJsonFile().ReadJson(path);
    const Json::Value& list = json::member(document, "LEDEffectList");
    std::vector<EffectStep> steps;
    steps.reserve(json::arraySize(list));
    for (Json::ArrayIndex i = 0; i < json::arraySize(list); ++i)
        steps.push_back(effectStepFromJson(list[i]));
    return steps;
}

} // namespace profile
