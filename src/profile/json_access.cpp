#include "profile/json_access.h"

#include "platform/text.h"

#include <cmath>
#include <limits>

namespace profile::json {
namespace {

const Json::Value& nullValue()
{
    static const Json::Value instance;
    return instance;
}

} // namespace

const Json::Value& member(const Json::Value& object, const char* key)
{
    if (!object.isObject())
        return nullValue();
    const Json::Value* found = object.find(key, key + std::char_traits<char>::length(key));
    return found ? *found : nullValue();
}

const Json::Value& element(const Json::Value& array, std::int64_t index)
{
    if (!array.isArray() || index < 0 || index >= static_cast<std::int64_t>(array.size()))
        return nullValue();
    return array[static_cast<Json::ArrayIndex>(index)];
}

Json::ArrayIndex arraySize(const Json::Value& value)
{
    return value.isArray() ? value.size() : 0;
}

std::optional<std::int32_t> toInt32(const Json::Value& value)
{
    switch (value.type()) {
    case Json::nullValue:
        return 0;
    case Json::booleanValue:
        return value.asBool() ? 1 : 0;
    case Json::intValue:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.asInt64()));
    case Json::uintValue:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.asUInt64()));
    case Json::realValue: {
        const double number = std::trunc(value.asDouble());
        // Outside int64 the conversion itself would be undefined.
        if (!std::isfinite(number) || number < -9.2e18 || number > 9.2e18)
            return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(
            static_cast<std::uint64_t>(static_cast<std::int64_t>(number))));
    }
    default:
        return std::nullopt;
    }
}

std::int32_t readInt(const Json::Value& value)
{
    return toInt32(value).value_or(0);
}

std::uint8_t readByte(const Json::Value& value)
{
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(readInt(value)));
}

std::uint16_t readU16(const Json::Value& value)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(readInt(value)));
}

std::optional<std::int64_t> readIndex(const Json::Value& value, std::int64_t count)
{
    if (!value.isIntegral() || !value.isInt64())
        return std::nullopt;
    const std::int64_t index = value.asInt64();
    if (index < 0 || index >= count)
        return std::nullopt;
    return index;
}

bool readFlag(const Json::Value& value)
{
    return readInt(value) != 0;
}

std::string readString(const Json::Value& value)
{
    return value.isString() ? value.asString() : std::string();
}

std::wstring readText(const Json::Value& value)
{
    return platform::fromUtf8(readString(value));
}

void makeObject(Json::Value& value)
{
    if (!value.isObject())
        value = Json::Value(Json::objectValue);
}

void makeArray(Json::Value& value)
{
    if (!value.isArray())
        value = Json::Value(Json::arrayValue);
}

Json::Value& objectMember(Json::Value& object, const char* key)
{
    makeObject(object);
    return object[key];
}

Json::Value& arrayElement(Json::Value& array, Json::ArrayIndex index)
{
    makeArray(array);
    return array[index];
}

} // namespace profile::json
