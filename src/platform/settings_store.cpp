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
    std::wstring text;
};

struct SettingsStore::Contents {
    std::vector<Entry> entries;
    // False when the file exists but could not be read: it must not be overwritten then.
    bool mayReplace = true;
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

bool isValidText(std::wstring_view text)
{
    for (wchar_t c : text) {
        if (isControl(c) && c != L'\t' && c != L'\r' && c != L'\n')
            return false;
    }
    return true;
}

std::string escape(std::wstring_view text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\':
            escaped += L"\\\\";
            break;
        case L'\n':
            escaped += L"\\n";
            break;
        case L'\r':
            escaped += L"\\r";
            break;
        case L'\t':
            escaped += L"\\t";
            break;
        default:
            escaped += c;
        }
    }
    return toUtf8(escaped);
}

std::optional<std::wstring> unescape(std::wstring_view text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case L'\\':
            out += L'\\';
            break;
        case L'n':
            out += L'\n';
            break;
        case L'r':
            out += L'\r';
            break;
        case L't':
            out += L'\t';
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
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;

        Entry entry;
        const auto space = line.find(' ');
        const auto type = line.substr(0, space);
        const auto assignment =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        const auto equals = assignment.find('=');
        bool valid = (type == "int" || type == "text") && equals != std::string_view::npos;
        if (valid) {
            entry.name = fromUtf8(assignment.substr(0, equals));
            const auto value = assignment.substr(equals + 1);
            entry.isInteger = type == "int";
            if (entry.isInteger) {
                const auto number = parseInteger(value);
                valid = number.has_value();
                entry.integer = number.value_or(0);
            } else {
                auto text = unescape(fromUtf8(value));
                valid = text.has_value();
                entry.text = std::move(text).value_or(std::wstring());
            }
            valid = valid && isValidName(entry.name);
        }
        if (!valid) {
            debugOutput("settings: line " + std::to_string(lineNumber) + " of " + m_file.string() +
                        " ignored");
            continue;
        }
        bool duplicate = false;
        for (const auto& known : contents.entries)
            duplicate = duplicate || equalsIgnoreCase(known.name, entry.name);
        if (!duplicate)
            contents.entries.push_back(std::move(entry));
    }
    return contents;
}

std::optional<std::int64_t> SettingsStore::integer(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    for (const auto& entry : load().entries) {
        if (equalsIgnoreCase(entry.name, name))
            return entry.isInteger ? std::optional(entry.integer) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::wstring> SettingsStore::text(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    for (auto& entry : load().entries) {
        if (equalsIgnoreCase(entry.name, name))
            return entry.isInteger ? std::nullopt : std::optional(std::move(entry.text));
    }
    return std::nullopt;
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
    if (!isValidText(value))
        return makeError(Error::Code::InvalidInput,
                         "settings: control character in the text of " + toUtf8(name));
    Entry entry;
    entry.name = name;
    entry.text = value;
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
    std::lock_guard guard(m_lock);
    auto contents = load();
    if (!contents.mayReplace)
        return makeError(Error::Code::Io,
                         "settings: " + m_file.string() + " could not be read; left unchanged");
    bool found = false;
    std::string serialised(kHeader);
    auto append = [&serialised](const Entry& entry) {
        serialised += entry.isInteger ? "int " : "text ";
        serialised += toUtf8(entry.name);
        serialised += '=';
        serialised += entry.isInteger ? std::to_string(entry.integer) : escape(entry.text);
        serialised += '\n';
    };
    for (const auto& entry : contents.entries) {
        if (!equalsIgnoreCase(entry.name, name)) {
            append(entry);
        } else if (replacement != nullptr) {
            append(*replacement);
            found = true;
        }
    }
    if (replacement != nullptr && !found)
        append(*replacement);
    if (serialised.size() > kMaxFileSize)
        return makeError(Error::Code::TooLarge, "settings: the store would exceed " +
                                                    std::to_string(kMaxFileSize) + " bytes");
    if (const auto folder = m_file.parent_path(); !folder.empty()) {
        if (auto created = createFolders(folder); !created)
            return created.error();
    }
    return writeFileAtomically(m_file, serialised);
}

} // namespace platform
