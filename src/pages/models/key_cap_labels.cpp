#include "pages/models/key_cap_labels.h"

#include "profile/key_page_state.h"
#include "shell/command_routes.h"

#include <algorithm>

namespace pages {
namespace {

int widthOf(wchar_t c)
{
    // CJK and other wide scripts take about two narrow characters on a cap.
    return c >= 0x2E80 ? 2 : 1;
}

bool sameFunction(const profile::KeyFunctionCode& a, const profile::KeyFunctionCode& b)
{
    return a.type == b.type && a.p1 == b.p1 && a.p2 == b.p2;
}

std::wstring fillName(std::wstring pattern, std::wstring_view name)
{
    const auto at = pattern.find(L"%s");
    if (at == std::wstring::npos)
        return std::wstring(name) + L" " + pattern;
    pattern.replace(at, 2, name);
    return pattern;
}

// On a cap a modifier goes without its side: "Ctrl+C", not "Left Ctrl+C".
std::wstring_view capNameId(std::wstring_view id)
{
    static constexpr std::pair<std::wstring_view, std::wstring_view> kShort[] = {
        {L"keyboard_key_LCtrl", L"keyset_mod_ctrl_text"},
        {L"keyboard_key_RCtrl", L"keyset_mod_ctrl_text"},
        {L"keyboard_key_LShift", L"keyset_mod_shift_text"},
        {L"keyboard_key_RShift", L"keyset_mod_shift_text"},
        {L"keyboard_key_LAlt", L"keyset_mod_alt_text"},
        {L"keyboard_key_RAlt", L"keyset_mod_alt_text"},
        {L"keyboard_key_LWin", L"keyset_mod_win_text"},
        {L"keyboard_key_RWin", L"keyset_mod_win_text"}};
    for (const auto& [full, brief] : kShort)
        if (id == full)
            return brief;
    return id;
}

} // namespace

std::wstring functionText(const profile::KeyFunctionCode& code,
                          const std::vector<std::wstring>& macroNames, const Translate& text,
                          TextForm form)
{
    const profile::LabelText label = profile::KeyLabel(code, macroNames);
    if (label.kind == profile::LabelText::Kind::Literal)
        return label.literal;
    std::wstring shown;
    if (label.kind == profile::LabelText::Kind::NameIds) {
        for (const auto& id : label.nameIds) {
            if (!shown.empty())
                shown += L'+';
            shown += text(form == TextForm::Cap ? capNameId(id) : std::wstring_view(id));
        }
    }
    return shown;
}

std::wstring ownKeyName(bool keyboard, std::size_t position, const profile::KeyAssignment& key,
                        const std::vector<std::wstring>& macroNames, const Translate& text)
{
    if (keyboard) {
        const std::wstring_view id = profile::keyboardOwnNameId(position);
        if (id.empty())
            return {};
        // Punctuation keys are named in words where the language has them ("Semicolon").
        const std::wstring wordsId = std::wstring(id) + L"_word";
        const std::wstring words = text(wordsId);
        return !words.empty() && words != wordsId ? words : text(id);
    }
    return functionText(key.defaultCode, macroNames, text);
}

KeyCapLabel keyCapLabel(std::wstring_view ownName, const profile::KeyAssignment& key,
                        const std::vector<std::wstring>& macroNames, const Translate& text,
                        int capWidth)
{
    KeyCapLabel label;
    label.title = std::wstring(ownName);
    const std::wstring now = functionText(key.current, macroNames, text);
    const auto readsAs = [&now](std::wstring_view name) {
        return !now.empty() && shell::equalsNoCase(now, name);
    };
    label.changed = !sameFunction(key.current, key.defaultCode) && !readsAs(ownName) &&
                    !readsAs(functionText(key.defaultCode, macroNames, text));
    if (!label.changed) {
        label.tooltip = fillName(text(L"keyset_unchanged_tip_text"), ownName);
        return label;
    }
    const std::wstring shown = now.empty() ? text(L"keyset_other_function_text") : now;
    label.tooltip = std::wstring(ownName) + text(L"Key_Set") + shown;
    const std::wstring brief = functionText(key.current, macroNames, text, TextForm::Cap);
    // A function without a name still reads as changed on the cap.
    label.cap = brief.empty() ? std::wstring(L"…") : shortCapText(brief, capWidth);
    return label;
}

std::wstring shortCapText(std::wstring_view text, int width)
{
    const int kCapWidth = std::max(width, 2);
    int used = 0;
    for (const wchar_t c : text)
        used += widthOf(c);
    if (used <= kCapWidth)
        return std::wstring(text);
    std::wstring cut;
    used = 0;
    for (const wchar_t c : text) {
        if (used + widthOf(c) > kCapWidth - 1)
            break;
        cut += c;
        used += widthOf(c);
    }
    return cut + L"…";
}

} // namespace pages
