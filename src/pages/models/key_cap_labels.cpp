#include "pages/models/key_cap_labels.h"

#include "profile/key_page_state.h"
#include "shell/command_routes.h"

#include <algorithm>

namespace pages {
namespace {

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

std::wstring nameIn(std::wstring_view id, TextForm form, const Translate& text)
{
    if (form == TextForm::Full)
        return text(id);
    const std::wstring_view capId = capNameId(id);
    if (form == TextForm::Brief) {
        // A long name has a brief one for caps where the language gives it ("Play").
        const std::wstring briefId = std::wstring(capId) + L"_cap";
        std::wstring brief = text(briefId);
        if (!brief.empty() && brief != briefId)
            return brief;
    }
    return text(capId);
}

bool isDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// What a cut text may not end in before its "…": it would say nothing there.
bool isLoose(wchar_t c)
{
    return c == L' ' || c == L'_' || c == L'-' || c == L'/' || c == L'+' || c == L'.' ||
           c == L'\u3000';
}

// Never between the two halves of a UTF-16 pair (wchar_t is 16 bits on Windows).
bool startsCharacter(std::wstring_view text, std::size_t at)
{
    return at == 0 || at >= text.size() || text[at] < 0xDC00 || text[at] > 0xDFFF;
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
            shown += nameIn(id, form, text);
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
                        const std::vector<std::wstring>& macroNames, const Translate& text)
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
    for (const TextForm form : {TextForm::Cap, TextForm::Brief}) {
        std::wstring cap = functionText(key.current, macroNames, text, form);
        if (!cap.empty() &&
            std::find(label.capForms.begin(), label.capForms.end(), cap) == label.capForms.end())
            label.capForms.push_back(std::move(cap));
    }
    // A function without a name still reads as changed on the cap.
    if (label.capForms.empty())
        label.capForms.emplace_back(L"…");
    return label;
}

CapText fitCapText(const std::vector<std::wstring>& forms, int width, int largest, int smallest,
                   const MeasureText& measure)
{
    if (forms.empty())
        return {};
    smallest = std::min(smallest, largest);
    // Size before fullness: a brief form read at a glance says more than a full one too
    // small to read (a CJK name at the floor size blurs).
    for (int size = largest; size >= smallest; --size) {
        for (const std::wstring& form : forms) {
            if (measure(form, size) <= width)
                return CapText{form, size};
        }
    }
    // Nothing fits whole: the start of the last (briefest) form, and a closing number.
    const std::wstring_view last = forms.back();
    std::size_t digits = last.size();
    while (digits > 0 && isDigit(last[digits - 1]))
        --digits;
    const bool numbered = digits > 0 && digits < last.size();
    const std::wstring_view head = numbered ? last.substr(0, digits) : last;
    const std::wstring tail = numbered ? std::wstring(last.substr(digits)) : std::wstring();
    for (std::size_t keep = head.size(); keep-- > 1;) {
        if (!startsCharacter(head, keep))
            continue;
        std::wstring_view start = head.substr(0, keep);
        while (!start.empty() && isLoose(start.back()))
            start.remove_suffix(1);
        if (start.empty())
            break;
        std::wstring cut = std::wstring(start) + L"…" + tail;
        if (measure(cut, smallest) <= width)
            return CapText{std::move(cut), smallest};
    }
    if (numbered && measure(L"…" + tail, smallest) <= width)
        return CapText{L"…" + tail, smallest};
    return CapText{L"…", smallest};
}

} // namespace pages
