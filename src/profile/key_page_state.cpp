#include "profile/key_page_state.h"

#include "profile/key_codes.h"

#include <climits>
#include <cwctype>
#include <optional>

namespace profile {
namespace {

using Category = KeyFunctionCategory;

constexpr std::uint8_t kSwing = typeByte(KeyFunctionType::MouseSwing);
constexpr std::uint8_t kWheel = typeByte(KeyFunctionType::MouseWheel);
constexpr std::uint8_t kKeyboard = typeByte(KeyFunctionType::Keyboard);
constexpr std::uint8_t kDirectionBit = 0x80;
constexpr std::size_t kModifierEntries = 8;

std::uint8_t nibbles(const std::wstring& high, const std::wstring& low)
{
    return static_cast<std::uint8_t>(((parseEditInteger(high) & 0x0F) << 4) |
                                     (parseEditInteger(low) & 0x0F));
}

std::uint8_t lowByte(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

int selectedTableIndex(const KeyPageState& state, Category category)
{
    switch (category) {
    case Category::MouseKey:
        return state.mouseKeyIndex;
    case Category::MouseDpi:
        return state.dpiIndex;
    case Category::Media:
        return state.mediaIndex;
    case Category::System:
        return state.systemIndex;
    case Category::ComboKey:
        return state.comboKeyIndex;
    default:
        return -1;
    }
}

void setTableIndex(KeyPageState& state, Category category, int index)
{
    switch (category) {
    case Category::MouseKey:
        state.mouseKeyIndex = index;
        break;
    case Category::MouseDpi:
        state.dpiIndex = index;
        break;
    case Category::Media:
        state.mediaIndex = index;
        break;
    case Category::System:
        state.systemIndex = index;
        break;
    case Category::ComboKey:
        state.comboKeyIndex = index;
        break;
    default:
        break;
    }
}

// First entry of `category`'s table with the code's p1 and p2 becomes the selection.
void selectTableEntry(KeyPageState& state, Category category, const KeyFunctionCode& code)
{
    const auto table = categoryTable(static_cast<int>(category));
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].p1 == code.p1 && table[i].p2 == code.p2) {
            setTableIndex(state, category, static_cast<int>(i));
            return;
        }
    }
}

void decodeMotion(const KeyFunctionCode& code, bool wheel, KeyPageState& state)
{
    const int count = code.p2 & 0x7F;
    const bool second = (code.p2 & kDirectionBit) != 0;
    const int shown = wheel && second ? 128 - count : count;
    std::wstring& delay = wheel ? state.wheelDelay : state.swingDelay;
    std::wstring& speed = wheel ? state.wheelSpeed : state.swingSpeed;
    std::wstring& number = wheel ? state.wheelCount : state.swingCount;
    delay = std::to_wstring(code.p1 >> 4);
    speed = std::to_wstring(code.p1 & 0x0F);
    number = std::to_wstring(shown);
    (wheel ? state.wheelDirection : state.swingDirection) = second ? 1 : 0;
}

} // namespace

int parseEditInteger(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

KeyFunctionCode encodeKeyFunction(const KeyPageState& state, const KeyFunctionCode& current,
                                  const KeyFunctionCode& defaultCode)
{
    KeyFunctionCode code = current;
    code.pad = 0;
    const auto category = static_cast<Category>(state.category);
    switch (category) {
    case Category::MouseKey:
    case Category::MouseDpi:
    case Category::Media:
    case Category::System:
    case Category::ComboKey: {
        const auto table = categoryTable(state.category);
        const int index = selectedTableIndex(state, category);
        // A skin combo with more items than the table, or no selection: leave the code.
        if (index >= 0 && static_cast<std::size_t>(index) < table.size()) {
            code.type = table[static_cast<std::size_t>(index)].type;
            code.p1 = table[static_cast<std::size_t>(index)].p1;
            code.p2 = table[static_cast<std::size_t>(index)].p2;
        }
        return code;
    }
    case Category::MouseSwing: {
        code.type = kSwing;
        code.p1 = nibbles(state.swingDelay, state.swingSpeed);
        const int count = parseEditInteger(state.swingCount);
        code.p2 = state.swingDirection == 1 ? lowByte(count | kDirectionBit)
                                            : static_cast<std::uint8_t>(count & 0x7F);
        return code;
    }
    case Category::MouseWheel: {
        code.type = kWheel;
        code.p1 = nibbles(state.wheelDelay, state.wheelSpeed);
        const int count = parseEditInteger(state.wheelCount);
        code.p2 = state.wheelDirection == 1 ? lowByte((128 - count) | kDirectionBit)
                                            : static_cast<std::uint8_t>(count & 0x7F);
        return code;
    }
    case Category::MouseFire:
        code.type = typeByte(KeyFunctionType::Fire);
        code.p1 = lowByte(parseEditInteger(state.fireInterval));
        code.p2 = lowByte(parseEditInteger(state.fireCount));
        return code;
    case Category::Keyboard:
        code.type = kKeyboard;
        code.p1 = state.modifierOption >= 1 && state.modifierOption <= 4
                      ? static_cast<std::uint8_t>(1u << (state.modifierOption - 1))
                      : 0;
        if (state.keyText.empty())
            code.p2 = 0;
        return code;
    case Category::Macro: {
        const int macro = state.macroIndex;
        if (macro < 0 || macro >= state.macroItemCount || macro > 0xFF)
            return code;
        code.p1 = static_cast<std::uint8_t>(macro);
        if (state.repeatIndex == kRepeatCountEntry) {
            code.type = typeByte(KeyFunctionType::MacroCount);
            code.p2 = lowByte(parseEditInteger(state.cycleText));
        } else {
            code.type = typeByte(KeyFunctionType::MacroMode);
            code.p2 = state.repeatIndex >= 0 && state.repeatIndex < kRepeatCountEntry
                          ? static_cast<std::uint8_t>(state.repeatIndex)
                          : 0;
        }
        return code;
    }
    case Category::GunKey:
        if (state.gunKeyIndex < 0 || state.gunKeyIndex > 0xFF)
            return code;
        code.type = typeByte(KeyFunctionType::GunKey);
        code.p1 = static_cast<std::uint8_t>(state.gunKeyIndex);
        code.p2 = 0;
        return code;
    case Category::Default:
    default:
        return defaultCode;
    }
}

KeyFunctionCode decodeKeyFunction(const KeyFunctionCode& code, const KeyFunctionCode& defaultCode,
                                  KeyPageState& state)
{
    KeyFunctionCode result = code;
    if (code.sameFunction(defaultCode)) {
        state.category = static_cast<int>(Category::Default);
        return result;
    }
    const auto keyboardKeys = keyboardKeyTable();
    switch (code.type) {
    case 0x00:
        state.category = static_cast<int>(Category::Default);
        break;
    case 0x10:
        state.category = static_cast<int>(Category::MouseKey);
        selectTableEntry(state, Category::MouseKey, code);
        break;
    case 0x13:
        state.category = static_cast<int>(Category::MouseDpi);
        selectTableEntry(state, Category::MouseDpi, code);
        break;
    case 0x30:
        state.category = static_cast<int>(Category::Media);
        selectTableEntry(state, Category::Media, code);
        break;
    case 0x40:
        state.category = static_cast<int>(Category::System);
        selectTableEntry(state, Category::System, code);
        break;
    case kSwing:
        state.category = static_cast<int>(Category::MouseSwing);
        decodeMotion(code, false, state);
        break;
    case kWheel:
        state.category = static_cast<int>(Category::MouseWheel);
        decodeMotion(code, true, state);
        break;
    case 0x14:
        state.category = static_cast<int>(Category::MouseFire);
        state.fireInterval = std::to_wstring(code.p1);
        state.fireCount = std::to_wstring(code.p2);
        break;
    case kKeyboard:
        if (code.p1 == 0) {
            state.category = static_cast<int>(Category::Keyboard);
            // Matched on p1 and p2 alone, as the labels are.
            std::optional<std::size_t> found;
            for (std::size_t i = 0; i < keyboardKeys.size() && !found; ++i) {
                if (keyboardKeys[i].p1 == code.p1 && keyboardKeys[i].p2 == code.p2)
                    found = i;
            }
            if (found) {
                state.modifierOption = 0;
                state.keyText = std::wstring(keyboardKeyNameId(*found));
            } else {
                state.modifierOption = -1;
                state.keyText.clear();
                result.p1 = 0;
                result.p2 = 0;
            }
        } else if (code.p1 <= 128) {
            state.category = static_cast<int>(Category::Keyboard);
            state.modifierOption = 0; // several modifier bits: no single option
            for (std::size_t k = 0; k < kModifierEntries; ++k) {
                if (keyboardKeys[k].p1 == code.p1) {
                    state.modifierOption = modifierOption(k);
                    break;
                }
            }
            for (std::size_t i = kModifierEntries; i < keyboardKeys.size(); ++i) {
                const auto& entry = keyboardKeys[i];
                if (entry.type == kKeyboard && entry.p1 == 0 && entry.p2 == code.p2) {
                    state.keyText = std::wstring(keyboardKeyNameId(i));
                    break;
                }
            }
        } else {
            state.category = static_cast<int>(Category::ComboKey);
            selectTableEntry(state, Category::ComboKey, code);
        }
        break;
    case 0x70:
    case 0x71: {
        state.category = static_cast<int>(Category::Macro);
        const bool known = code.p1 < state.macroItemCount;
        state.macroIndex = known ? code.p1 : -1;
        if (code.type == 0x70) {
            state.repeatIndex = known && code.p2 <= kRepeatCountEntry ? code.p2 : -1;
            state.cycleAreaVisible = false;
        } else {
            state.repeatIndex = kRepeatCountEntry;
            state.cycleAreaVisible = known;
            state.cycleText = std::to_wstring(code.p2);
        }
        break;
    }
    case 0x72:
        state.category = static_cast<int>(Category::GunKey);
        state.gunKeyIndex = code.p1;
        break;
    case 0xB0:
        state.category = static_cast<int>(Category::ComboKey);
        state.comboKeyIndex = -1;
        break;
    default:
        state.category = -1;
        break;
    }
    return result;
}

} // namespace profile
