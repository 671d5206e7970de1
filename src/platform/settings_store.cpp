#include "platform/settings_store.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <charconv>
#include <vector>

namespace platform {

struct SettingsStore::Entry {
    std::wstring name;
    bool isInteger = false;
    std::int64_t integer = 0;
    std::string text; // the bytes the escapes stand for: UTF-8, or whatever a path holds
};

// One line of the file as it was read, its line end included, and the value it holds when
// it holds one this store understands.
struct SettingsStore::Line {
    std::string bytes;
    std::optional<Entry> entry;
};

struct SettingsStore::Contents {
    std::vector<Line> lines;
    // False when the file exists but could not be read: it must not be overwritten then.
    bool mayReplace = true;

    // The value a read sees: the first line of that name.
    const Entry* find(std::wstring_view name) const
    {
        for (const Line& line : lines) {
            if (line.entry && equalsIgnoreCase(line.entry->name, name))
                return &*line.entry;
        }
        return nullptr;
    }
};

namespace {

constexpr std::string_view kHeader =
    "# Halvek settings: one value per line, \"int NAME=NUMBER\" or \"text NAME=TEXT\".\n";

bool isControl(wchar_t c)
{
    return c < 0x20 || c == 0x7F;
}

bool isValidName(std::wstring_view name)
{
    if (name.empty())
        return false;
    for (wchar_t c : name) {
        if (c == L'=' || isControl(c))
            return false;
    }
    return true;
}

bool isValidText(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte == 0x7F) && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

// Byte by byte: the escapes are ASCII, so the text's other bytes pass as they are, valid
// UTF-8 or not.
std::string escape(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\t':
            escaped += "\\t";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::int64_t> parseInteger(std::string_view digits)
{
    std::int64_t value = 0;
    const auto* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace

// The value a line holds ("int NAME=NUMBER" or "text NAME=TEXT", without its line end);
// nullopt for a comment, a blank line or anything this store does not understand.
std::optional<SettingsStore::Entry> SettingsStore::parseLine(std::string_view line)
{
    if (line.empty() || line.front() == '#')
        return std::nullopt;
    const auto space = line.find(' ');
    const auto type = line.substr(0, space);
    const auto assignment =
        space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    const auto equals = assignment.find('=');
    if ((type != "int" && type != "text") || equals == std::string_view::npos)
        return std::nullopt;
    Entry entry;
    entry.name = fromUtf8(assignment.substr(0, equals));
    const auto value = assignment.substr(equals + 1);
    entry.isInteger = type == "int";
    if (entry.isInteger) {
        const auto number = parseInteger(value);
        if (!number)
            return std::nullopt;
        entry.integer = *number;
    } else {
        auto text = unescape(value);
        if (!text)
            return std::nullopt;
        entry.text = std::move(*text);
    }
    if (!isValidName(entry.name))
        return std::nullopt;
    return entry;
}

std::string SettingsStore::lineFor(const Entry& entry)
{
    return (entry.isInteger ? "int " : "text ") + toUtf8(entry.name) + '=' +
           (entry.isInteger ? std::to_string(entry.integer) : escape(entry.text));
}

std::filesystem::path SettingsStore::defaultFile()
{
    return configFolder() / toPath(kInstanceIdentifier) / "settings.conf";
}

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

SettingsStore::Contents SettingsStore::load() const
{
    Contents contents;
    auto read = readFileBounded(m_file, kMaxFileSize);
    if (!read) {
        if (read.error().code == Error::Code::Io) {
            contents.mayReplace = false;
            debugOutput("settings: " + read.error().message);
        } else if (read.error().code == Error::Code::TooLarge) {
            // The next write would replace it: keep the user's values in a copy first.
            if (auto aside = setAsideFile(m_file, ".toolarge")) {
                debugOutput("settings: " + read.error().message + "; kept as " + aside->string() +
                            ", read as empty");
            } else {
                contents.mayReplace = false;
                debugOutput("settings: " + read.error().message + "; " + aside.error().message);
            }
        }
        return contents;
    }
    std::string_view rest = *read;
    int lineNumber = 0;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::size_t length = end == std::string_view::npos ? rest.size() : end + 1;
        Line line{std::string(rest.substr(0, length)), std::nullopt};
        rest.remove_prefix(length);
        ++lineNumber;
        std::string_view text = line.bytes;
        if (!text.empty() && text.back() == '\n')
            text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        line.entry = parseLine(text);
        if (!line.entry && !text.empty() && text.front() != '#')
            debugOutput("settings: line " + std::to_string(lineNumber) + " of " + m_file.string() +
                        " ignored, and kept as it is");
        contents.lines.push_back(std::move(line));
    }
    return contents;
}

std::optional<std::int64_t> SettingsStore::integer(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    const Contents contents = load();
    const Entry* entry = contents.find(name);
    return entry && entry->isInteger ? std::optional(entry->integer) : std::nullopt;
}

std::optional<std::wstring> SettingsStore::text(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    const Contents contents = load();
    const Entry* entry = contents.find(name);
    return entry && !entry->isInteger ? std::optional(fromUtf8(entry->text)) : std::nullopt;
}

std::optional<std::filesystem::path> SettingsStore::path(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    const Contents contents = load();
    const Entry* entry = contents.find(name);
    if (!entry || entry->isInteger)
        return std::nullopt;
    return std::filesystem::path(std::u8string(entry->text.begin(), entry->text.end()));
}

Result<void> SettingsStore::setInteger(std::wstring_view name, std::int64_t value)
{
    Entry entry;
    entry.name = name;
    entry.isInteger = true;
    entry.integer = value;
    return change(name, &entry);
}

Result<void> SettingsStore::setText(std::wstring_view name, std::wstring_view value)
{
    Entry entry;
    entry.name = name;
    entry.text = toUtf8(value);
    return change(name, &entry);
}

Result<void> SettingsStore::setPath(std::wstring_view name, const std::filesystem::path& value)
{
    // The path's own bytes: a folder whose name is not UTF-8 is remembered as it is.
    const std::u8string bytes = value.u8string();
    Entry entry;
    entry.name = name;
    entry.text.assign(bytes.begin(), bytes.end());
    return change(name, &entry);
}

Result<void> SettingsStore::remove(std::wstring_view name)
{
    return change(name, nullptr);
}

Result<void> SettingsStore::change(std::wstring_view name, const Entry* replacement)
{
    if (!isValidName(name))
        return makeError(Error::Code::InvalidInput,
                         "settings: invalid value name \"" + toUtf8(name) + "\"");
    if (replacement && !replacement->isInteger && !isValidText(replacement->text))
        return makeError(Error::Code::InvalidInput,
                         "settings: control character in the text of " + toUtf8(name));
    std::lock_guard guard(m_lock);
    const Contents contents = load();
    if (!contents.mayReplace)
        return makeError(Error::Code::Io,
                         "settings: " + m_file.string() + " could not be read; left unchanged");
    // Every other line stays byte for byte, those this store does not understand too: the
    // file may hold what another version or the user put there.
    std::string before;
    std::string after;
    bool placed = false;
    for (const Line& line : contents.lines) {
        before += line.bytes;
        if (!line.entry || !equalsIgnoreCase(line.entry->name, name)) {
            after += line.bytes;
            continue;
        }
        // The value's first line takes the new value; a later one, which no read sees, goes.
        if (replacement && !placed) {
            const auto end = line.bytes.find_first_of("\r\n");
            after += lineFor(*replacement);
            after += end == std::string::npos ? std::string() : line.bytes.substr(end);
            placed = true;
        }
    }
    if (replacement && !placed) {
        if (after.empty())
            after = kHeader;
        else if (after.back() != '\n')
            after += '\n';
        after += lineFor(*replacement) + '\n';
    }
    if (after == before)
        return {}; // nothing changed: the file is left as it is
    if (after.size() > kMaxFileSize)
        return makeError(Error::Code::TooLarge, "settings: the store would exceed " +
                                                    std::to_string(kMaxFileSize) + " bytes");
    if (const auto folder = m_file.parent_path(); !folder.empty()) {
        if (auto created = createFolders(folder); !created)
            return created.error();
    }
    return writeFileAtomically(m_file, after);
}

} // namespace platform
