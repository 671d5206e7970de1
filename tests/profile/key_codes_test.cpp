#include "profile/key_codes.h"
#include "profile/key_page_state.h"

#include <gtest/gtest.h>

using namespace profile;

namespace {

constexpr KeyFunctionCode kEscDefault = makeCode(0x20, 0x00, 0x29, 0);

std::vector<std::wstring> ids(const LabelText& label)
{
    return label.kind == LabelText::Kind::NameIds ? label.nameIds : std::vector<std::wstring>{};
}

} // namespace

TEST(KeyTables, NameIdsAndScanCodesLineUpWithTheKeyTable)
{
    const auto names = keyNameIds();
    ASSERT_EQ(names.size(), 201u);
    EXPECT_EQ(names[58], L"keyboard_key_LCtrl");
    EXPECT_EQ(names[58 + 130], L"wed_stop");
    EXPECT_EQ(names[199], L"keyboard_key_GM");
    EXPECT_EQ(names[200], L"keyboard_key_COLOR");
    EXPECT_EQ(names[kMediaNameBase + 17], L"media_mail");
    const auto keys = keyboardKeyTable();
    const auto scans = scanCodeTable();
    for (std::size_t i = 0; i < scans.size(); ++i)
        EXPECT_EQ(scans[i].virtualKey, keys[i].keyIndex) << i;
    // Right Shift is flagged extended, Pause is 0x45 without the flag, Num Lock with it.
    EXPECT_EQ(keyForScanCode(0x36, true), 5u);
    EXPECT_EQ(keyForScanCode(0x36, false), std::nullopt);
    EXPECT_EQ(keyForScanCode(0x45, false), 75u);
    EXPECT_EQ(keyForScanCode(0x45, true), 86u);
    EXPECT_EQ(keyForScanCode(0x1C, true), 91u); // keypad Enter
    EXPECT_EQ(keyForScanCode(0x73, false), 105u);
}

TEST(KeyTables, OwnNamesComeFromThePositionTable)
{
    EXPECT_EQ(keyboardOwnNameId(0), L"keyboard_key_Esc");
    EXPECT_EQ(keyboardOwnNameId(16), L"keyboard_key_GM");
    EXPECT_EQ(keyboardOwnNameId(17), L""); // A0 24 00 has no name
    EXPECT_EQ(keyboardOwnNameId(18), L""); // no key of its own
    EXPECT_EQ(keyboardOwnNameId(110), L"keyboard_key_FN");
    EXPECT_EQ(keyboardOwnNameId(125), L"keyboard_key_RWin");
    EXPECT_EQ(keyboardOwnNameId(126), L""); // key buttons past the table draw nothing
    EXPECT_EQ(modifierOption(4), 1);        // right Ctrl selects the Ctrl option
    EXPECT_EQ(modifierOption(7), 4);
}

TEST(KeyEncoding, PageStatesGiveTheirCodes)
{
    const KeyFunctionCode current = makeCode(0x20, 0x00, 0x04, 7);
    struct Case {
        const char* what;
        KeyPageState state;
        KeyFunctionCode expected;
    };
    KeyPageState ctrlA{.category = 6, .keyText = L"keyboard_key_A", .modifierOption = 1};
    KeyPageState cleared{.category = 6};
    KeyPageState shiftAlone{.category = 6, .modifierOption = 2};
    KeyPageState wheelDown{.category = 3, .wheelDirection = 1, .wheelCount = L"0"};
    KeyPageState swing{.category = 2,
                       .swingDirection = 1,
                       .swingCount = L"5",
                       .swingDelay = L"3",
                       .swingSpeed = L"18"};
    KeyPageState fire{.category = 5, .fireInterval = L" -5", .fireCount = L"300"};
    KeyPageState media{.category = 7, .mediaIndex = 1};
    KeyPageState macroRepeat{
        .category = 9, .macroIndex = 1, .macroItemCount = 3, .repeatIndex = 4, .cycleText = L"7"};
    KeyPageState macroNoMode{.category = 9, .macroIndex = 0, .macroItemCount = 1};
    KeyPageState gun{.category = 10, .gunKeyIndex = 2};
    const Case cases[] = {
        {"Ctrl option plus A", ctrlA, makeCode(0x20, 0x01, 0x04)},
        {"keyboard category with nothing chosen", cleared, makeCode(0x20, 0, 0)},
        {"a modifier alone", shiftAlone, makeCode(0x20, 0x02, 0)},
        {"wheel down with count 0", wheelDown, makeCode(0x12, 0, 0x80)},
        {"swing nibbles are masked", swing, makeCode(0x11, 0x32, 0x85)},
        {"fire keeps the low 8 bits", fire, makeCode(0x14, 0xFB, 0x2C)},
        {"media play", media, makeCode(0x30, 0xCD, 0x00)},
        {"macro repeated 7 times", macroRepeat, makeCode(0x71, 1, 7)},
        {"macro without a repeat mode", macroNoMode, makeCode(0x70, 0, 0)},
        {"gun key", gun, makeCode(0x72, 2, 0)},
    };
    for (const auto& c : cases) {
        const auto code = encodeKeyFunction(c.state, current, kEscDefault);
        EXPECT_EQ(code, c.expected) << c.what;
        EXPECT_EQ(code.keyIndex, 7) << c.what;
    }
}

TEST(KeyEncoding, MissingSelectionsLeaveTheCodeAndDefaultCopiesEveryField)
{
    const KeyFunctionCode current = makeCode(0x30, 0xCD, 0x00, 7);
    KeyPageState state;
    state.category = 9; // no macro selected
    state.macroItemCount = 2;
    EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), current);
    state.macroIndex = 2; // past the combo's items
    EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), current);
    state = KeyPageState{.category = 1, .mouseKeyIndex = 5}; // a skin with a sixth item
    EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), current);
    state = KeyPageState{.category = 10};
    EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), current);
    state = KeyPageState{.category = 0};
    const auto code = encodeKeyFunction(state, current, kEscDefault);
    EXPECT_EQ(code, kEscDefault);
    EXPECT_EQ(code.keyIndex, 0);
    state.category = 12;
    EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), kEscDefault);
}

TEST(KeyDecoding, CodesSetTheirControls)
{
    KeyPageState state;
    decodeKeyFunction(makeCode(0x30, 0xCD, 0), makeCode(0x30, 0xCD, 0), state);
    EXPECT_EQ(state.category, 0); // equal to the default, whatever its type

    state = {};
    decodeKeyFunction(makeCode(0x20, 0x03, 0x04), kEscDefault, state);
    EXPECT_EQ(state.category, 6);
    EXPECT_EQ(state.modifierOption, 0); // two modifier bits: no single option
    EXPECT_EQ(state.keyText, L"keyboard_key_A");

    state = {};
    decodeKeyFunction(makeCode(0x20, 0x20, 0x00), kEscDefault, state);
    EXPECT_EQ(state.modifierOption, 2); // right Shift shows the Shift option

    state = {.keyText = L"kept"};
    const auto unknown = decodeKeyFunction(makeCode(0x20, 0x00, 0xF0), kEscDefault, state);
    EXPECT_EQ(unknown, makeCode(0x20, 0, 0));
    EXPECT_EQ(state.modifierOption, -1);
    EXPECT_TRUE(state.keyText.empty());

    state = {};
    decodeKeyFunction(makeCode(0x12, 0x00, 0x80), kEscDefault, state);
    EXPECT_EQ(state.category, 3);
    EXPECT_EQ(state.wheelCount, L"128");
    EXPECT_EQ(state.wheelDirection, 1);

    state = {.macroItemCount = 2};
    decodeKeyFunction(makeCode(0x70, 2, 1), kEscDefault, state);
    EXPECT_EQ(state.category, 9);
    EXPECT_EQ(state.macroIndex, -1);
    EXPECT_EQ(state.repeatIndex, -1);
    decodeKeyFunction(makeCode(0x71, 1, 9), kEscDefault, state);
    EXPECT_EQ(state.macroIndex, 1);
    EXPECT_EQ(state.repeatIndex, 4);
    EXPECT_TRUE(state.cycleAreaVisible);
    EXPECT_EQ(state.cycleText, L"9");

    state = {};
    decodeKeyFunction(makeCode(0x20, 0x81, 0x06), kEscDefault, state);
    EXPECT_EQ(state.category, 11);
    state = {};
    decodeKeyFunction(makeCode(0x05, 0, 0), kEscDefault, state);
    EXPECT_EQ(state.category, -1);
}

TEST(KeyDecoding, EncodingADecodedCodeGivesItBack)
{
    const KeyFunctionCode codes[] = {makeCode(0x10, 0x10, 0),    makeCode(0x11, 0x3A, 0x85),
                                     makeCode(0x12, 0x21, 0x7F), makeCode(0x12, 0x21, 0x83),
                                     makeCode(0x14, 9, 200),     makeCode(0x20, 0x08, 0x29),
                                     makeCode(0x30, 0x92, 0x01), makeCode(0x40, 0x04, 0),
                                     makeCode(0x70, 1, 3),       makeCode(0x71, 0, 255)};
    for (const auto& code : codes) {
        KeyPageState state{.macroItemCount = 2};
        const auto current = decodeKeyFunction(code, kEscDefault, state);
        EXPECT_EQ(encodeKeyFunction(state, current, kEscDefault), code)
            << std::hex << toInteger(code);
    }
}

TEST(KeyLabels, LabelsFollowTheRules)
{
    const std::vector<std::wstring> macros{L"macro_1"};
    using Ids = std::vector<std::wstring>;
    EXPECT_EQ(ids(KeyLabel(codeFromInteger(0x200104, 0), macros)),
              (Ids{L"keyboard_key_LCtrl", L"keyboard_key_A"}));
    EXPECT_EQ(ids(KeyLabel(makeCode(0x20, 0x03, 0x04), macros)), Ids{L"keyboard_key_A"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0x20, 0, 0), macros)), Ids{L"close_text"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0x10, 0x04, 0), macros)), Ids{L"mouse_key_middle"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0x12, 0x00, 0x80), macros)), Ids{L"mouse_key_down_Swing"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0x22, 0, 1), macros)), Ids{L"custem_copy"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0x30, 0xE9, 0), macros)), Ids{L"media_vol_add"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0xA0, 0x02, 0), macros)), Ids{L"mouse_key_smart_key"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0xA0, 0x00, 0), macros)), Ids{L"close_text"});
    EXPECT_EQ(ids(KeyLabel(makeCode(0xD0, 0xA2, 3), macros)), Ids{L"keyboard_key_M3"});
    EXPECT_EQ(KeyLabel(makeCode(0x70, 0, 0), macros).literal, L"macro_1");
    EXPECT_EQ(KeyLabel(makeCode(0x70, 1, 0), macros).kind, LabelText::Kind::Unchanged);
    EXPECT_EQ(KeyLabel(makeCode(0xB0, 0, 0), macros).kind, LabelText::Kind::Unchanged);
    EXPECT_EQ(KeyLabel(makeCode(0x05, 0, 0), macros).literal, L"关闭");
}

TEST(KeyLabels, ModifiersAloneOrAnUnknownUsageListEveryMatchingKey)
{
    // No entry shares both bytes, so every entry sharing either one is listed: a zero
    // usage is shared by all eight modifiers, a zero modifier byte by all plain keys.
    const std::vector<std::wstring> none;
    const auto modifiers = ids(KeyLabel(makeCode(0x20, 0x05, 0x00), none));
    ASSERT_EQ(modifiers.size(), 8u);
    EXPECT_EQ(modifiers.front(), L"keyboard_key_LCtrl");
    EXPECT_EQ(modifiers.back(), L"keyboard_key_RWin");
    const auto keys = ids(KeyLabel(makeCode(0x20, 0x00, 0x99), none));
    ASSERT_EQ(keys.size(), 106u); // table entries 8 to 113
    EXPECT_EQ(keys.front(), L"keyboard_key_A");
    EXPECT_EQ(keys.back(), L"keyboard_key_K42");
}

TEST(KeyEncoding, EditIntegersSaturateInsteadOfOverflowing)
{
    EXPECT_EQ(parseEditInteger(L"  -5x"), -5);
    EXPECT_EQ(parseEditInteger(L"+12"), 12);
    EXPECT_EQ(parseEditInteger(L"abc"), 0);
    EXPECT_EQ(parseEditInteger(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(parseEditInteger(L"-99999999999999999999"), INT_MIN);
}
