#include "profile/record_json.h"

#include "profile/json_access.h"

namespace profile {
using json::member;
using json::readByte;

LightInfo lightInfoFromJson(const Json::Value& object)
{
    LightInfo info;
    info.mode = readByte(member(object, "SelectItem"));
    info.brightness = readByte(member(object, "Light"));
    info.speed = readByte(member(object, "Speed"));
    info.direction = readByte(member(object, "Fx"));
    info.multiColour = json::readFlag(member(object, "MultiColor")) ? 1 : 0;
    info.red = readByte(member(object, "Red"));
    info.green = readByte(member(object, "Green"));
    info.blue = readByte(member(object, "Blue"));
    info.subMode = readByte(member(object, "ZZCCLedMode"));
    info.customGroup = readByte(member(object, "CustomGroup"));
    info.oldLedMode = readByte(member(object, "OldLedmode"));
    return info;
}

Json::Value toJson(const LightInfo& info)
{
    Json::Value object(Json::objectValue);
    object["SelectItem"] = info.mode;
    object["Light"] = info.brightness;
    object["Speed"] = info.speed;
    object["Fx"] = info.direction;
    object["MultiColor"] = info.multiColour ? 1 : 0;
    object["Red"] = info.red;
    object["Green"] = info.green;
    object["Blue"] = info.blue;
    object["ZZCCLedMode"] = info.subMode;
    object["CustomGroup"] = info.customGroup;
    object["OldLedmode"] = info.oldLedMode;
    return object;
}

LightInfo lightListEntryFromJson(const Json::Value& element)
{
    LightInfo entry;
    if (!element.isObject())
        return entry;
    entry.mode = readByte(member(element, "LEDREGMode"));
    entry.brightness = readByte(member(element, "LEDBrightness"));
    entry.speed = readByte(member(element, "LEDSpeed"));
    entry.direction = json::readFlag(member(element, "LEDDirection")) ? 1 : 0;
    entry.multiColour = json::readFlag(member(element, "LEDMultiColor")) ? 1 : 0;
    entry.red = readByte(member(element, "red"));
    entry.green = readByte(member(element, "green"));
    entry.blue = readByte(member(element, "blue"));
    entry.present = 1;
    return entry;
}

AudioLightInfo audioLightInfoFromJson(const Json::Value& object)
{
    AudioLightInfo info;
    info.audioMode = readByte(member(object, "AudioMode"));
    info.backRed = readByte(member(object, "BkColorR"));
    info.backGreen = readByte(member(object, "BkColorG"));
    info.backBlue = readByte(member(object, "BkColorB"));
    info.foreRed = readByte(member(object, "FgColorR"));
    info.foreGreen = readByte(member(object, "FgColorG"));
    info.foreBlue = readByte(member(object, "FgColorB"));
    info.multiColour = json::readFlag(member(object, "7ColorFlags")) ? 1 : 0;
    info.colourSelector = json::readFlag(member(object, "ColorTypeFlags")) ? 1 : 0;
    return info;
}

Json::Value toJson(const AudioLightInfo& info)
{
    Json::Value object(Json::objectValue);
    object["AudioMode"] = info.audioMode;
    object["BkColorR"] = info.backRed;
    object["BkColorG"] = info.backGreen;
    object["BkColorB"] = info.backBlue;
    object["FgColorR"] = info.foreRed;
    object["FgColorG"] = info.foreGreen;
    object["FgColorB"] = info.foreBlue;
    object["7ColorFlags"] = info.multiColour ? 1 : 0;
    object["ColorTypeFlags"] = info.colourSelector ? 1 : 0;
    return object;
}

KeyboardSystemStages keyboardStagesFromJson(const Json::Value& object)
{
    using json::readU16;
    return KeyboardSystemStages{
        readU16(member(object, "Repeat")),   readU16(member(object, "RepeatDelay")),
        readU16(member(object, "Key6Flag")), readU16(member(object, "PollingRate")),
        readU16(member(object, "WFlag")),    readU16(member(object, "WinFlag"))};
}

Json::Value toJson(const KeyboardSystemStages& stages)
{
    Json::Value object(Json::objectValue);
    object["Repeat"] = stages.repeat;
    object["RepeatDelay"] = stages.repeatDelay;
    object["Key6Flag"] = stages.key6Flag;
    object["PollingRate"] = stages.pollingRate;
    object["WFlag"] = stages.wFlag;
    object["WinFlag"] = stages.winFlag;
    return object;
}

EffectStep effectStepFromJson(const Json::Value& object)
{
    EffectStep step;
    step.mode = readByte(member(object, "LEDREGMode"));
    step.brightness = readByte(member(object, "LEDBrightness"));
    step.speed = readByte(member(object, "LEDSpeed"));
    // Integers here, not flags.
    step.direction = readByte(member(object, "LEDDirection"));
    step.multiColour = readByte(member(object, "LEDMultiColor"));
    step.red = readByte(member(object, "red"));
    step.green = readByte(member(object, "green"));
    step.blue = readByte(member(object, "blue"));
    step.time = json::readInt(member(object, "Time"));
    step.cycle = json::readInt(member(object, "Cyle"));
    return step;
}

KeyAssignment keyAssignmentFromJson(const Json::Value& element, std::uint16_t index)
{
    return KeyAssignment{
        codeFromInteger(json::readInt(member(element, "Assignment")), index),
        codeFromInteger(json::readInt(member(element, "DefaultAssignment")), index)};
}

} // namespace profile
