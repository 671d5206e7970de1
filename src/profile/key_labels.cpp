#include "profile/key_codes.h"
#include "profile/key_page_state.h"

namespace profile {
namespace {

LabelText nameId(std::size_t id)
{
    LabelText label;
    label.kind = LabelText::Kind::NameIds;
    label.nameIds.emplace_back(keyNameIds()[id]);
    return label;
}

std::optional<std::size_t> findIn(std::span<const KeyFunctionCode> table,
                                  const KeyFunctionCode& code, bool matchP2)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].type == code.type && table[i].p1 == code.p1 &&
            (!matchP2 || table[i].p2 == code.p2))
            return i;
    }
    return std::nullopt;
}

LabelText keyboardLabel(const KeyFunctionCode& code)
{
    const auto keys = keyboardKeyTable();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].p1 == code.p1 && keys[i].p2 == code.p2)
            return nameId(kKeyboardNameBase + i);
    }
    if (code.p1 == 0 && code.p2 == 0)
        return nameId(kFunctionLabelNameBase + 9); // "close_text"
    // A combination: every entry sharing the modifier byte or the usage, in table order.
    // A zero byte matches too, so modifiers alone list every modifier and an unknown
    // usage alone every key: that is how such codes have always been labelled.
    LabelText label;
    label.kind = LabelText::Kind::NameIds;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].type == code.type && (keys[i].p1 == code.p1 || keys[i].p2 == code.p2))
            label.nameIds.emplace_back(keyNameIds()[kKeyboardNameBase + i]);
    }
    if (label.nameIds.empty())
        label.kind = LabelText::Kind::Unchanged;
    return label;
}

LabelText tableLabel(std::span<const KeyFunctionCode> table, const KeyFunctionCode& code,
                     std::size_t nameBase, bool matchP2)
{
    const auto index = findIn(table, code, matchP2);
    return index ? nameId(nameBase + *index) : LabelText{};
}

} // namespace

LabelText KeyLabel(const KeyFunctionCode& code, const std::vector<std::wstring>& macroNames)
{
    switch (code.type) {
    case 0x00:
    case 0x20:
        return keyboardLabel(code);
    case 0x10:
        return tableLabel(mouseButtonTable(), code, kMouseButtonNameBase, false);
    case 0x11:
        return nameId(code.p2 & 0x80 ? 52 : 51); // right / left swing
    case 0x12:
        return nameId(code.p2 & 0x80 ? 50 : 49); // down / up
    case 0x13:
        return tableLabel(dpiTable(), code, kDpiNameBase, false);
    case 0x14:
        return nameId(14); // "mouse_key_fire_key"
    case 0x16:
        return nameId(kFunctionLabelNameBase + 13); // "mouse_key_DPI_shift"
    case 0x22:
        return tableLabel(shortcutLabelTable(), code, 0, true);
    case 0x23:
        return tableLabel(functionLabelTable(), code, kFunctionLabelNameBase, true);
    case 0x30:
        return tableLabel(mediaTable(), code, kMediaNameBase, true);
    case 0x40:
        return tableLabel(systemTable(), code, kSystemNameBase, true);
    case 0x70:
    case 0x71:
        if (code.p1 < macroNames.size()) {
            LabelText label;
            label.kind = LabelText::Kind::Literal;
            label.literal = macroNames[code.p1];
            return label;
        }
        return {};
    case 0xA0:
    case 0xD0:
        if (const auto entry = findIn(functionLabelTable(), code, false))
            return nameId(kFunctionLabelNameBase + *entry);
        return tableLabel(keyboardKeyTable(), code, kKeyboardNameBase, true);
    case 0x15:
    case 0x21:
    case 0x50:
    case 0x60:
    case 0xB0:
    case 0xC0:
        return {};
    default: {
        LabelText label;
        label.kind = LabelText::Kind::Literal;
        label.literal = L"关闭";
        return label;
    }
    }
}

std::wstring_view keyboardOwnNameId(std::size_t position)
{
    const auto positions = keyboardPositionTable();
    if (position >= positions.size())
        return {};
    const auto key = findKeyboardKey(positions[position]);
    return key ? keyboardKeyNameId(*key) : std::wstring_view();
}

} // namespace profile
