#pragma once

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>

// Reading JSON that may come from anywhere (hand-edited, imported, damaged) without ever
// calling a jsoncpp accessor that asserts or throws on a type mismatch. A member of the
// wrong type reads as missing.
namespace profile::json {

// The member `key` of an object; a null value when `object` is not an object or lacks it.
[[nodiscard]] const Json::Value& member(const Json::Value& object, const char* key);
// Element `index` of an array; a null value when `array` is not an array or is too short.
[[nodiscard]] const Json::Value& element(const Json::Value& array, std::int64_t index);
// Number of elements when `value` is an array, else 0.
[[nodiscard]] Json::ArrayIndex arraySize(const Json::Value& value);

// A number as a 32-bit integer: integers keep their low 32 bits, a finite fraction is
// truncated, a boolean is 0 or 1, null is 0. Anything else (text, arrays, objects,
// non-finite or huge fractions) is missing.
[[nodiscard]] std::optional<std::int32_t> toInt32(const Json::Value& value);
// toInt32, missing reads 0.
[[nodiscard]] std::int32_t readInt(const Json::Value& value);
// Narrowed into a field's width by keeping the low bits, as the files have always been
// read: 300 reads as 44, -1 as 255.
[[nodiscard]] std::uint8_t readByte(const Json::Value& value);
[[nodiscard]] std::uint16_t readU16(const Json::Value& value);
// A position in a list of `count`: only a whole number inside it, taken as it stands
// (4294967297 is not 1); nullopt otherwise.
[[nodiscard]] std::optional<std::int64_t> readIndex(const Json::Value& value, std::int64_t count);
// Flags: any nonzero number reads as true.
[[nodiscard]] bool readFlag(const Json::Value& value);
// A string member as UTF-8 bytes; "" for anything that is not a string.
[[nodiscard]] std::string readString(const Json::Value& value);
[[nodiscard]] std::wstring readText(const Json::Value& value);

// Writing side: the member or element to assign to. A container of the wrong type is
// replaced by an empty one of the right type first, so a store never throws.
Json::Value& objectMember(Json::Value& object, const char* key);
// Grows the array with nulls up to `index`; the caller bounds `index`.
Json::Value& arrayElement(Json::Value& array, Json::ArrayIndex index);
void makeObject(Json::Value& value);
void makeArray(Json::Value& value);

} // namespace profile::json
