#include "ui/script/script.h"

#include "platform/text.h"
#include "platform/window_messages.h"

#include <array>
#include <charconv>
#include <optional>

namespace ui::script {
namespace {

bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// Splits off the first word; rest starts after exactly one blank.
std::pair<std::wstring_view, std::wstring_view> splitWord(std::wstring_view text)
{
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const std::wstring_view word = text.substr(0, end);
    const std::wstring_view rest = end < text.size() ? text.substr(end + 1) : std::wstring_view();
    return {word, rest};
}

std::wstring_view trim(std::wstring_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == L'\r'))
        text.remove_suffix(1);
    return text;
}

// Digits only, no sign, nothing after them, within [0, max].
std::optional<long long> parseNumber(std::wstring_view text, long long max)
{
    const std::string narrow = platform::toUtf8(text);
    long long value = 0;
    if (narrow.empty() || narrow.front() < '0' || narrow.front() > '9')
        return std::nullopt;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (error != std::errc() || end != narrow.data() + narrow.size() || value > max)
        return std::nullopt;
    return value;
}

struct ParsedLine {
    std::optional<Step> step;
    std::string error;
};

ParsedLine parseLine(int number, std::wstring_view text)
{
    ParsedLine out;
    Step step;
    step.line = number;
    const auto [command, afterCommand] = splitWord(text);
    std::wstring_view untrimmed = afterCommand;
    while (!untrimmed.empty() && isBlank(untrimmed.front()))
        untrimmed.remove_prefix(1);
    const std::wstring_view args = trim(untrimmed);
    auto fail = [&](std::string why) {
        out.error = std::move(why);
        return out;
    };
    auto done = [&] {
        out.step = std::move(step);
        return out;
    };
    // NAME alone, or NAME and the rest.
    const auto [name, afterName] = splitWord(untrimmed);
    const std::wstring_view restAfterName = afterName;
    step.name = name;

    if (command == L"quit") {
        if (!args.empty())
            return fail("quit takes nothing after it");
        step.kind = StepKind::Quit;
        return done();
    }
    if (command == L"wait" || command == L"click") {
        if (name.empty() || !trim(restAfterName).empty())
            return fail(platform::toUtf8(command) + " takes one control name");
        step.kind = command == L"wait" ? StepKind::Wait : StepKind::Click;
        return done();
    }
    if (command == L"select") {
        const auto index = parseNumber(trim(restAfterName), 1'000'000);
        if (name.empty() || !index)
            return fail("select takes a control name and a row index (0 or more)");
        step.kind = StepKind::Select;
        step.number = *index;
        return done();
    }
    if (command == L"type" || command == L"expect") {
        if (name.empty())
            return fail(platform::toUtf8(command) + " takes a control name and a text");
        step.kind = command == L"type" ? StepKind::Type : StepKind::Expect;
        // The text as written, trailing blanks included.
        step.text = restAfterName;
        if (step.kind == StepKind::Type && step.text.empty())
            return fail("type takes a text after the control name");
        return done();
    }
    if (command == L"key") {
        if (name.empty() || !trim(restAfterName).empty())
            return fail("key takes one key name");
        if (keyFromName(name).virtualKey == 0)
            return fail("unknown key \"" + platform::toUtf8(name) + "\"");
        step.kind = StepKind::Key;
        return done();
    }
    if (command == L"chars") {
        if (untrimmed.empty())
            return fail("chars takes a text");
        step.kind = StepKind::Chars;
        step.name.clear();
        step.text = untrimmed;
        return done();
    }
    if (command == L"expect-focus" || command == L"tab-to") {
        if (name.empty() || !trim(restAfterName).empty())
            return fail(platform::toUtf8(command) + " takes one control name");
        step.kind = command == L"tab-to" ? StepKind::TabTo : StepKind::ExpectFocus;
        return done();
    }
    if (command == L"sleep") {
        const auto ms = parseNumber(args, kMaxSleepMilliseconds);
        if (!ms)
            return fail("sleep takes milliseconds, 0 to " + std::to_string(kMaxSleepMilliseconds));
        step.kind = StepKind::Sleep;
        step.number = *ms;
        step.name.clear();
        return done();
    }
    if (command == L"expect-visible") {
        const std::wstring_view flag = trim(restAfterName);
        if (name.empty() || (flag != L"0" && flag != L"1"))
            return fail("expect-visible takes a control name and 0 or 1");
        step.kind = StepKind::ExpectVisible;
        step.number = flag == L"1" ? 1 : 0;
        return done();
    }
    if (command == L"screenshot" || command == L"screenshot-window") {
        if (args.empty())
            return fail(platform::toUtf8(command) + " takes a file name");
        step.kind = command == L"screenshot" ? StepKind::Screenshot : StepKind::ScreenshotTop;
        step.name = args;
        return done();
    }
    if (command == L"sim") {
        const std::wstring_view link = trim(restAfterName);
        if ((name != L"plug" && name != L"unplug") || (link != L"cable" && link != L"receiver"))
            return fail("sim takes plug or unplug, then cable or receiver");
        step.kind = StepKind::Sim;
        step.simAction = name == L"plug" ? SimAction::Plug : SimAction::Unplug;
        step.simLink = link == L"cable" ? SimLink::Cable : SimLink::Receiver;
        step.name.clear();
        return done();
    }
    if (command == L"tray") {
        if ((name != L"left" && name != L"right") || !trim(restAfterName).empty())
            return fail("tray takes left or right");
        step.kind = StepKind::Tray;
        step.trayButton = name == L"left" ? TrayButton::Left : TrayButton::Right;
        step.name.clear();
        return done();
    }
    return fail("unknown step \"" + platform::toUtf8(command) + "\"");
}

struct NamedKey {
    std::wstring_view name;
    unsigned key;
};

constexpr std::array kNamedKeys{
    NamedKey{L"Back", VK_BACK},     NamedKey{L"Backspace", VK_BACK},
    NamedKey{L"Tab", VK_TAB},       NamedKey{L"Return", VK_RETURN},
    NamedKey{L"Enter", VK_RETURN},  NamedKey{L"Escape", VK_ESCAPE},
    NamedKey{L"Esc", VK_ESCAPE},    NamedKey{L"Space", 0x20},
    NamedKey{L"Left", VK_LEFT},     NamedKey{L"Right", VK_RIGHT},
    NamedKey{L"Up", VK_UP},         NamedKey{L"Down", VK_DOWN},
    NamedKey{L"Home", VK_HOME},     NamedKey{L"End", VK_END},
    NamedKey{L"Delete", VK_DELETE}, NamedKey{L"Shift", VK_SHIFT},
    NamedKey{L"Ctrl", VK_CONTROL},  NamedKey{L"Control", VK_CONTROL},
};

} // namespace

KeyChord keyFromName(std::wstring_view name)
{
    KeyChord chord;
    auto takePrefix = [&](std::wstring_view prefix) {
        if (name.size() <= prefix.size() ||
            !platform::equalsIgnoreCase(name.substr(0, prefix.size()), prefix))
            return false;
        name.remove_prefix(prefix.size());
        return true;
    };
    for (bool more = true; more;) {
        more = false;
        if (!chord.control && (takePrefix(L"Ctrl+") || takePrefix(L"Control+")))
            more = chord.control = true;
        if (!chord.shift && takePrefix(L"Shift+"))
            more = chord.shift = true;
    }
    for (const auto& named : kNamedKeys) {
        if (platform::equalsIgnoreCase(named.name, name)) {
            chord.virtualKey = named.key;
            return chord;
        }
    }
    if (name.size() == 1) {
        const wchar_t c = name[0];
        if (c >= L'a' && c <= L'z')
            chord.virtualKey = static_cast<unsigned>(c - L'a' + L'A');
        else if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
            chord.virtualKey = static_cast<unsigned>(c);
        return chord;
    }
    if ((name[0] == L'F' || name[0] == L'f') && name.size() <= 3) {
        if (const auto n = parseNumber(name.substr(1), 24); n && *n >= 1)
            chord.virtualKey = static_cast<unsigned>(0x70 + *n - 1);
    }
    return chord;
}

platform::Result<std::vector<Step>> parseScript(std::string_view utf8)
{
    if (utf8.size() > kMaxScriptBytes)
        return platform::makeError(platform::Error::Code::TooLarge,
                                   "script longer than " + std::to_string(kMaxScriptBytes) +
                                       " bytes");
    const std::wstring text = platform::fromUtf8(utf8);
    std::vector<Step> steps;
    std::string errors;
    int number = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        ++number;
        std::wstring_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);
        // Leading blanks only: trailing ones may belong to the text of type and expect.
        while (!line.empty() && isBlank(line.front()))
            line.remove_prefix(1);
        if (!trim(line).empty() && line.front() != L'#') {
            auto parsed = parseLine(number, line);
            if (parsed.step)
                steps.push_back(std::move(*parsed.step));
            else
                errors += "line " + std::to_string(number) + ": " + parsed.error + "\n";
        }
        start = end + 1;
    }
    if (!errors.empty()) {
        errors.pop_back();
        return platform::makeError(platform::Error::Code::InvalidInput, errors);
    }
    return steps;
}

} // namespace ui::script
