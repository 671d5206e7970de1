#include "ui/script/script.h"

#include "platform/window_messages.h"

#include <gtest/gtest.h>

using namespace ui::script;

TEST(ScriptParser, ReadsEveryStepWithItsLineNumber)
{
    const auto steps = parseScript("# a session\n"
                                   "wait keyboard_device_key_light\n"
                                   "\n"
                                   "  click closebtn\r\n"
                                   "select device_profile_combo 2\n"
                                   "type name_edit Profile  one \n"
                                   "key Ctrl+V\n"
                                   "sleep 250\n"
                                   "expect title_label Halvek 2VAV IRI\n"
                                   "expect empty_label\n"
                                   "expect-visible No_device_Link 1\n"
                                   "screenshot out dir/main.png\n"
                                   "sim unplug receiver\n"
                                   "quit");
    ASSERT_TRUE(steps) << steps.error().message;
    ASSERT_EQ(steps->size(), 12u);
    const auto& s = *steps;
    EXPECT_EQ(s[0].kind, StepKind::Wait);
    EXPECT_EQ(s[0].line, 2);
    EXPECT_EQ(s[0].name, L"keyboard_device_key_light");
    EXPECT_EQ(s[1].kind, StepKind::Click);
    EXPECT_EQ(s[1].name, L"closebtn") << "a CR of CR LF files is not part of the name";
    EXPECT_EQ(s[1].line, 4);
    EXPECT_EQ(s[2].number, 2);
    EXPECT_EQ(s[3].kind, StepKind::Type);
    EXPECT_EQ(s[3].text, L"Profile  one ") << "the text is kept as written";
    EXPECT_EQ(s[4].kind, StepKind::Key);
    EXPECT_EQ(s[5].number, 250);
    EXPECT_EQ(s[6].text, L"Halvek 2VAV IRI");
    EXPECT_EQ(s[7].kind, StepKind::Expect);
    EXPECT_EQ(s[7].text, L"") << "expecting an empty text";
    EXPECT_EQ(s[8].kind, StepKind::ExpectVisible);
    EXPECT_EQ(s[8].number, 1);
    EXPECT_EQ(s[9].name, L"out dir/main.png") << "a file name may hold blanks";
    EXPECT_EQ(s[10].simAction, SimAction::Unplug);
    EXPECT_EQ(s[10].simLink, SimLink::Receiver);
    EXPECT_EQ(s[11].kind, StepKind::Quit);
    EXPECT_EQ(s[11].line, 14);
}

TEST(ScriptParser, ReportsEveryBadLineByNumber)
{
    const auto steps = parseScript("wait\n"                     // 1: no name
                                   "click a b\n"                // 2: two names
                                   "select combo -1\n"          // 3: negative
                                   "select combo 99999999999\n" // 4: beyond the limit
                                   "sleep 1e3\n"                // 5: not digits
                                   "sleep 999999999\n"          // 6: too long
                                   "expect-visible x 2\n"       // 7
                                   "sim plug mouse\n"           // 8
                                   "key Hyper\n"                // 9
                                   "type edit\n"                // 10: nothing to type
                                   "quit now\n"                 // 11
                                   "dance floor\n"              // 12
                                   "wait fine\n");
    ASSERT_FALSE(steps);
    const std::string& message = steps.error().message;
    for (int line = 1; line <= 12; ++line)
        EXPECT_NE(message.find("line " + std::to_string(line) + ":"), std::string::npos)
            << line << "\n"
            << message;
    EXPECT_EQ(message.find("line 13:"), std::string::npos);
    EXPECT_NE(message.find("unknown step \"dance\""), std::string::npos);
}

TEST(ScriptParser, RefusesOversizedScripts)
{
    const std::string huge(kMaxScriptBytes + 1, '#');
    const auto steps = parseScript(huge);
    ASSERT_FALSE(steps);
    EXPECT_EQ(steps.error().code, platform::Error::Code::TooLarge);
    EXPECT_TRUE(parseScript(""));
}

TEST(ScriptParser, KeyNames)
{
    struct Case {
        const wchar_t* name;
        unsigned key;
        bool control;
    };
    const Case cases[] = {
        {L"Return", VK_RETURN, false},
        {L"enter", VK_RETURN, false},
        {L"Tab", VK_TAB, false},
        {L"Escape", VK_ESCAPE, false},
        {L"a", 'A', false},
        {L"7", '7', false},
        {L"F1", VK_F1, false},
        {L"F12", VK_F1 + 11, false},
        {L"Ctrl+C", 'C', true},
        {L"control+a", 'A', true},
        {L"F0", 0, false},
        {L"F25", 0, false},
        {L"Ctrl+", 0, false},
        {L"ab", 0, false},
        {L"", 0, false},
    };
    for (const auto& c : cases) {
        const KeyChord chord = keyFromName(c.name);
        EXPECT_EQ(chord.virtualKey, c.key) << static_cast<int>(c.name[0]);
        if (c.key) {
            EXPECT_EQ(chord.control, c.control);
        }
    }
}
