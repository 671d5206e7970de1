#include "profile/key_function_text.h"

#include "profile/key_codes.h"
#include "profile/key_page_state.h"

#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace profile {
namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Lower case without blanks, so "Page Up", "pageup" and "PAGE UP" all match.
std::string folded(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c != ' ')
            out += static_cast<char>(std::tolower(c));
    }
    return out;
}

std::optional<int> number(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

ParsedKeyFunction fail(std::string message)
{
    return ParsedKeyFunction{false, {}, std::move(message)};
}

ParsedKeyFunction encoded(const KeyPageState& state, const KeyAssignment& key,
                          const KeyFunctionCode& current)
{
    return ParsedKeyFunction{true, encodeKeyFunction(state, current, key.defaultCode), {}};
}

int modifierOptionFor(std::string_view word)
{
    const std::string w = lower(word);
    if (w == "ctrl" || w == "control")
        return 1;
    if (w == "shift")
        return 2;
    if (w == "alt")
        return 3;
    if (w == "win" || w == "windows" || w == "gui" || w == "super")
        return 4;
    return -1;
}

// Keyboard key table index of a plain key (entries 8-113), by name or a common alias.
std::optional<std::size_t> plainKey(std::string_view name)
{
    static const std::pair<const char*, const char*> aliases[] = {{"escape", "esc"},
                                                                  {"return", "enter"},
                                                                  {"backspace", "backspace"},
                                                                  {"capslock", "caplk"},
                                                                  {"\\", "xiegang"},
                                                                  {"backslash", "xiegang"},
                                                                  {",", "<"},
                                                                  {"comma", "<"},
                                                                  {"printscreen", "printscr"},
                                                                  {"pgup", "pageup"},
                                                                  {"pgdn", "pagedown"},
                                                                  {"del", "delete"},
                                                                  {"ins", "insert"},
                                                                  {"menu", "app"},
                                                                  {"minus", "-"},
                                                                  {"equal", "="},
                                                                  {"scrolllock", "scrolllock"}};
    std::string wanted = folded(name);
    for (const auto& [alias, target] : aliases) {
        if (wanted == alias)
            wanted = target;
    }
    const auto keys = keyboardKeyTable();
    for (std::size_t i = 8; i < 114 && i < keys.size(); ++i) {
        if (folded(shortKeyName(keyboardKeyNameId(i))) == wanted)
            return i;
    }
    return std::nullopt;
}

ParsedKeyFunction keyCombination(std::string_view text, const KeyAssignment& key)
{
    KeyPageState state;
    state.category = static_cast<int>(KeyFunctionCategory::Keyboard);
    std::string_view rest = text;
    // Modifiers are split off the front only, so "Ctrl+-" and "Num +" keep their '+'.
    while (true) {
        const auto plus = rest.find('+');
        if (plus == std::string_view::npos || plus == 0)
            break;
        const int option = modifierOptionFor(rest.substr(0, plus));
        if (option < 0)
            break;
        if (state.modifierOption > 0)
            return fail("the key page offers one modifier per key: '" + std::string(text) + "'");
        state.modifierOption = option;
        rest.remove_prefix(plus + 1);
    }
    KeyFunctionCode current = key.current;
    if (const int alone = modifierOptionFor(rest); alone > 0) {
        if (state.modifierOption > 0)
            return fail("the key page offers one modifier per key: '" + std::string(text) + "'");
        state.modifierOption = alone; // a modifier pressed alone
        return encoded(state, key, current);
    }
    const auto index = plainKey(rest);
    if (!index)
        return fail("unknown key name '" + std::string(rest) + "'");
    if (state.modifierOption < 0)
        state.modifierOption = 0;
    state.keyText = std::wstring(keyboardKeyNameId(*index));
    current.p2 = keyboardKeyTable()[*index].p2; // as if the key had been captured
    return encoded(state, key, current);
}

std::optional<std::size_t> mediaEntry(std::string_view name)
{
    const std::string wanted = lower(name);
    const auto ids = keyNameIds();
    for (std::size_t i = 0; i < mediaTable().size(); ++i) {
        const std::string id = lower(platform::toUtf8(ids[kMediaNameBase + i]));
        const auto underscore = id.find('_');
        if (id == wanted || id.substr(underscore + 1) == wanted)
            return i;
    }
    return std::nullopt;
}

ParsedKeyFunction macroFunction(std::string_view spec, const KeyAssignment& key,
                                const std::vector<std::wstring>& macroNames)
{
    KeyPageState state;
    state.category = static_cast<int>(KeyFunctionCategory::Macro);
    state.macroItemCount = static_cast<int>(macroNames.size());
    state.repeatIndex = 0;
    std::string_view name = spec;
    if (const auto colon = spec.rfind(':'); colon != std::string_view::npos) {
        const std::string_view option = spec.substr(colon + 1);
        if (option.rfind("repeat=", 0) == 0) {
            const auto count = number(option.substr(7));
            if (!count || *count < 0 || *count > 255)
                return fail("repeat takes a count from 0 to 255");
            state.repeatIndex = kRepeatCountEntry;
            state.cycleText = std::to_wstring(*count);
            name = spec.substr(0, colon);
        } else if (option.rfind("mode=", 0) == 0) {
            const auto mode = number(option.substr(5));
            if (!mode || *mode < 0 || *mode >= kRepeatCountEntry)
                return fail("mode takes 0 to 3");
            state.repeatIndex = *mode;
            name = spec.substr(0, colon);
        }
    }
    const std::wstring wanted = platform::fromUtf8(name);
    for (std::size_t i = 0; i < macroNames.size(); ++i) {
        if (platform::equalsIgnoreCase(macroNames[i], wanted)) {
            state.macroIndex = static_cast<int>(i);
            return encoded(state, key, key.current);
        }
    }
    return fail("no macro named '" + std::string(name) + "'");
}

} // namespace

std::string shortKeyName(std::wstring_view nameId)
{
    std::string text = platform::toUtf8(nameId);
    constexpr std::string_view prefix = "keyboard_key_";
    if (text.rfind(prefix, 0) == 0)
        text.erase(0, prefix.size());
    return text;
}

ParsedKeyFunction parseKeyFunction(std::string_view text, const KeyAssignment& key,
                                   const std::vector<std::wstring>& macroNames)
{
    KeyPageState state;
    const std::string word = lower(text);
    if (word == "default") {
        state.category = static_cast<int>(KeyFunctionCategory::Default);
        return encoded(state, key, key.current);
    }
    if (word == "none") {
        state.category = static_cast<int>(KeyFunctionCategory::Keyboard);
        return encoded(state, key, key.current);
    }
    const auto colon = text.find(':');
    const std::string kind = colon == std::string_view::npos ? "" : lower(text.substr(0, colon));
    const std::string_view value = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    if (kind == "mouse") {
        static const char* names[] = {"left", "middle", "right", "forward", "back"};
        for (int i = 0; i < 5; ++i) {
            if (lower(value) == names[i]) {
                state.category = static_cast<int>(KeyFunctionCategory::MouseKey);
                state.mouseKeyIndex = i;
                return encoded(state, key, key.current);
            }
        }
        return fail("mouse: takes left, right, middle, back or forward");
    }
    if (kind == "media") {
        const auto entry = mediaEntry(value);
        if (!entry)
            return fail("unknown media function '" + std::string(value) + "'");
        state.category = static_cast<int>(KeyFunctionCategory::Media);
        state.mediaIndex = static_cast<int>(*entry);
        return encoded(state, key, key.current);
    }
    if (kind == "system") {
        static const char* names[] = {"power", "sleep", "wake"};
        for (int i = 0; i < 3; ++i) {
            if (lower(value) == names[i]) {
                state.category = static_cast<int>(KeyFunctionCategory::System);
                state.systemIndex = i;
                return encoded(state, key, key.current);
            }
        }
        return fail("system: takes power, sleep or wake");
    }
    if (kind == "combo") {
        const auto index = number(value);
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= comboKeyTable().size())
            return fail("combo: takes an index from 0 to 10");
        state.category = static_cast<int>(KeyFunctionCategory::ComboKey);
        state.comboKeyIndex = *index;
        return encoded(state, key, key.current);
    }
    if (kind == "macro")
        return macroFunction(value, key, macroNames);
    if (text.empty())
        return fail("no key function given");
    return keyCombination(text, key);
}

} // namespace profile
