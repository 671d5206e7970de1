#pragma once

#include "profile/key_function_code.h"
#include "profile/light_info.h"
#include "profile/system_stages.h"

#include <json/value.h>

// The JSON form of each packed record. Readers take any value (wrong types read as
// missing, numbers clamp to their field); writers produce the full member set.
namespace profile {

[[nodiscard]] LightInfo lightInfoFromJson(const Json::Value& object);
[[nodiscard]] Json::Value toJson(const LightInfo& info);
// A "LightList" element: a null gives an all-zero entry, an object one with `present` 1.
[[nodiscard]] LightInfo lightListEntryFromJson(const Json::Value& element);

[[nodiscard]] AudioLightInfo audioLightInfoFromJson(const Json::Value& object);
[[nodiscard]] Json::Value toJson(const AudioLightInfo& info);

[[nodiscard]] KeyboardSystemStages keyboardStagesFromJson(const Json::Value& object);
[[nodiscard]] Json::Value toJson(const KeyboardSystemStages& stages);

[[nodiscard]] EffectStep effectStepFromJson(const Json::Value& object);

// A "KeyList" element at position `index`.
[[nodiscard]] KeyAssignment keyAssignmentFromJson(const Json::Value& element, std::uint16_t index);

} // namespace profile
