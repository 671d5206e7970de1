// What the device pictures say about each key: tooltips in words, the reassigned mark and the
// short label on the cap, with the shipped English and Chinese texts.
#include "pages/models/key_cap_labels.h"

#include "platform/text.h"
#include "profile/key_codes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace {

// The language file's texts, read the plain way: ids and values, XML entities decoded.
pages::Translate languageFile(const char* name)
{
    std::ifstream in(std::string(HALVEK_SOURCE_DIR) + "/data/skin/" + name);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    auto decode = [](std::string value) {
        for (const auto& [entity, plain] : std::vector<std::pair<std::string, std::string>>{
                 {"&apos;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
            for (auto at = value.find(entity); at != std::string::npos;
                 at = value.find(entity, at + plain.size()))
                value.replace(at, entity.size(), plain);
        }
        return value;
    };
    auto table = std::make_shared<std::map<std::wstring, std::wstring>>();
    const std::regex entry(R"re(<Text id="([^"]*)" value="([^"]*)"/>)re");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry);
         it != std::sregex_iterator(); ++it) {
        (*table)[platform::fromUtf8(decode((*it)[1]))] = platform::fromUtf8(decode((*it)[2]));
    }
    return [table](std::wstring_view id) {
        const auto found = table->find(std::wstring(id));
        return found == table->end() ? std::wstring(id) : found->second;
    };
}

std::size_t positionOf(const profile::KeyFunctionCode& code)
{
    const auto table = profile::keyboardPositionTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == code)
            return i;
    return table.size();
}

profile::KeyAssignment keyAt(std::size_t position, profile::KeyFunctionCode now)
{
    const profile::KeyFunctionCode own = profile::keyboardPositionTable()[position];
    return {now, own};
}

const std::vector<std::wstring> kMacros{L"Reload sequence"};

} // namespace

TEST(KeyCapLabels, AnUnchangedKeySaysSoInWordsInBothLanguages)
{
    const auto semicolon = positionOf(profile::makeCode(0x20, 0x00, 0x33));
    const auto key = keyAt(semicolon, profile::keyboardPositionTable()[semicolon]);
    for (const auto& [file, expected] :
         {std::pair{"lan_en.xml", L"Semicolon — unchanged"}, {"lan_cn.xml", L"分号 — 未更改"}}) {
        const auto text = languageFile(file);
        const std::wstring own = pages::ownKeyName(true, semicolon, key, kMacros, text);
        const pages::KeyCapLabel label = pages::keyCapLabel(own, key, kMacros, text);
        EXPECT_FALSE(label.changed) << file;
        EXPECT_EQ(label.tooltip, expected);
        EXPECT_TRUE(label.capForms.empty()) << "the cap keeps its own legend";
    }
}

TEST(KeyCapLabels, AReassignedKeyCarriesItsNewFunctionOnTheCapFullestFirst)
{
    const auto esc = positionOf(profile::makeCode(0x20, 0x00, 0x29));
    struct Case {
        const char* language;
        profile::KeyFunctionCode now;
        const wchar_t* tooltip;
        std::vector<std::wstring> forms;
    };
    const Case cases[] = {
        {"lan_en.xml", profile::makeCode(0x20, 0x01, 0x06), L"Esc → Left Ctrl+C", {L"Ctrl+C"}},
        {"lan_en.xml",
         profile::makeCode(0x70, 0x00, 0x01),
         L"Esc → Reload sequence",
         {L"Reload sequence"}},
        {"lan_en.xml", profile::makeCode(0x15, 0x00, 0x00), L"Esc → another function", {L"…"}},
        // A long name has a brief one for the cap, in both languages.
        {"lan_en.xml",
         profile::makeCode(0x30, 0xCD, 0x00),
         L"Esc → Play/Pause",
         {L"Play/Pause", L"Play"}},
        {"lan_cn.xml",
         profile::makeCode(0x30, 0xCD, 0x00),
         L"Esc → 播放/暂停",
         {L"播放/暂停", L"播放"}},
        {"lan_en.xml",
         profile::makeCode(0x20, 0x01, 0x4B),
         L"Esc → Left Ctrl+Page Up",
         {L"Ctrl+Page Up", L"Ctrl+PgUp"}},
    };
    for (const Case& c : cases) {
        const auto text = languageFile(c.language);
        const auto key = keyAt(esc, c.now);
        const pages::KeyCapLabel label = pages::keyCapLabel(L"Esc", key, kMacros, text);
        EXPECT_TRUE(label.changed) << label.tooltip;
        EXPECT_EQ(label.tooltip, c.tooltip);
        EXPECT_EQ(label.capForms, c.forms) << label.tooltip;
    }
    // Another code that does what the key's own code does is no reassignment.
    const auto text = languageFile("lan_en.xml");
    const auto same = keyAt(esc, profile::makeCode(0x00, 0x00, 0x29));
    EXPECT_FALSE(pages::keyCapLabel(L"Esc", same, kMacros, text).changed);
}

TEST(KeyCapLabels, MouseButtonsAreNamedByTheirFactoryFunction)
{
    const auto text = languageFile("lan_cn.xml");
    const profile::KeyAssignment left{profile::makeCode(0x10, 0x04, 0x00),
                                      profile::makeCode(0x10, 0x01, 0x00)};
    const std::wstring own = pages::ownKeyName(false, 0, left, kMacros, text);
    EXPECT_EQ(own, text(L"mouse_key_left"));
    const pages::KeyCapLabel label = pages::keyCapLabel(own, left, kMacros, text);
    EXPECT_EQ(label.tooltip, own + text(L"Key_Set") + text(L"mouse_key_middle"));
    EXPECT_EQ(label.capForms, std::vector<std::wstring>{text(L"mouse_key_middle")});
}

TEST(KeyCapLabels, TheCapShowsTheFullestFormThatFitsThenACutThatStillSaysWhat)
{
    // Half the size for a narrow character, the whole size for a wide one.
    const pages::MeasureText measure = [](std::wstring_view text, int size) {
        int units = 0;
        for (const wchar_t c : text)
            units += c >= 0x2E80 ? 2 : 1;
        return units * size / 2;
    };
    struct Case {
        std::vector<std::wstring> forms;
        int width;
        std::wstring text;
        int size;
    };
    const Case cases[] = {
        {{L"Esc"}, 26, L"Esc", 10},
        // Smaller down to the floor; at each size the fullest form that fits, so a brief
        // form read at a glance beats a full one at the floor.
        {{L"Ctrl+C"}, 26, L"Ctrl+C", 8},
        {{L"Page Up", L"PgUp"}, 30, L"PgUp", 10},
        {{L"Page Up", L"PgUp"}, 36, L"Page Up", 10},
        {{L"Play/Pause", L"Play"}, 26, L"Play", 10},
        {{L"播放/暂停", L"播放"}, 26, L"播放", 10},
        {{L"上一曲", L"上曲"}, 26, L"上曲", 10},
        // Cut at the floor, never after a separator; a closing number stays.
        {{L"Play/Pause"}, 26, L"Play…", 8},
        {{L"Reload sequence"}, 26, L"Reloa…", 8},
        {{L"macro_12"}, 26, L"mac…12", 8},
        {{L"宏一二三四"}, 26, L"宏一…", 8},
        {{L"Reload sequence"}, 3, L"…", 8},
        {{}, 26, L"", 0},
    };
    for (const Case& c : cases) {
        const pages::CapText fit = pages::fitCapText(c.forms, c.width, 10, 8, measure);
        EXPECT_EQ(fit.text, c.text) << (c.forms.empty() ? std::wstring() : c.forms.back());
        EXPECT_EQ(fit.size, c.size) << fit.text.size();
        if (!c.forms.empty()) {
            EXPECT_LE(measure(fit.text, fit.size), std::max(c.width, 4));
        }
    }
}
