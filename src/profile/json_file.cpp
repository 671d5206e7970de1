#include "profile/json_file.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hex.h"
#include "platform/text.h"

#include <json/reader.h>
#include <json/writer.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

namespace profile {
namespace fs = std::filesystem;

namespace {

bool isSpecialFile(const fs::path& path)
{
    std::error_code error;
    const auto type = fs::status(path, error).type();
    return !error && (type == fs::file_type::fifo || type == fs::file_type::socket ||
                      type == fs::file_type::block || type == fs::file_type::character);
}

// The one read path: reports why nothing came back.
struct TextRead {
    std::string bytes;
    ReadState state = ReadState::Missing;
};

TextRead readBounded(const fs::path& path)
{
    auto content = platform::readFileBounded(path, kMaxJsonFileSize);
    if (content) {
        platform::debugOutput(L"readjsonFile 错误吗：：0");
        return {std::move(*content), ReadState::Ok};
    }
    const bool missing = content.error().code == platform::Error::Code::NotFound;
    platform::debugOutput(L"readjsonFile 错误吗：：" + std::to_wstring(missing ? 2 : 5));
    if (missing)
        return {{}, ReadState::Missing};
    if (isSpecialFile(path)) {
        // Never a file it could be, now or later: damaged, not merely unreadable for now.
        platform::debugOutput("readJsonFile: not a regular file: " + path.string());
        return {{}, ReadState::Malformed};
    }
    platform::debugOutput("readJsonFile: " + content.error().message);
    return {{}, ReadState::Unreadable};
}

} // namespace

std::string formatTimestampId(int year, int month, int day, int hour, int minute, int second,
                              int millisecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d_%02d_%02d_%02d_%02d_%02d_%03d", year, month, day, hour,
                  minute, second, millisecond);
    return text;
}

bool isTimestampId(std::string_view text)
{
    // "%d_%02d_%02d_%02d_%02d_%02d_%03d": a year of 1 to 6 digits, then fixed widths.
    const auto underscore = text.find('_');
    if (underscore == 0 || underscore == std::string_view::npos || underscore > 6)
        return false;
    constexpr std::string_view kRest = "_dd_dd_dd_dd_dd_ddd";
    const std::string_view rest = text.substr(underscore);
    if (rest.size() != kRest.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digitWanted = i < underscore || kRest[i - underscore] == 'd';
        if (digitWanted ? (c < '0' || c > '9') : c != '_')
            return false;
    }
    return true;
}

Json::Value withValidUtf8(const Json::Value& value)
{
    const auto clean = [](const std::string& text) {
        return platform::toUtf8(platform::fromUtf8(text));
    };
    switch (value.type()) {
    case Json::stringValue:
        return Json::Value(clean(value.asString()));
    case Json::arrayValue: {
        Json::Value out(Json::arrayValue);
        for (const auto& element : value)
            out.append(withValidUtf8(element));
        return out;
    }
    case Json::objectValue: {
        Json::Value out(Json::objectValue);
        for (auto it = value.begin(); it != value.end(); ++it)
            out[clean(it.name())] = withValidUtf8(*it);
        return out;
    }
    default:
        return value;
    }
}

std::string CJsonFile::MakeTimestampId()
{
    const auto now = std::chrono::system_clock::now();
    const auto seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    return formatTimestampId(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec, static_cast<int>(ms));
}

std::string CJsonFile::ReadText(const fs::path& path) const
{
    return readBounded(path).bytes;
}

Json::Value CJsonFile::ReadJson(const fs::path& path) const
{
    return readJsonDocument(path).value;
}

int CJsonFile::WriteJson(const fs::path& path, const Json::Value& value) const
{
    return writeFileReplacing(path, formatJson(value));
}

std::wstring CJsonFile::GetFileTitle(const fs::path& path)
{
    // Either separator: names may come from the Windows-era files.
    const std::wstring whole = path.wstring();
    const auto slash = whole.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? whole : whole.substr(slash + 1);
    const auto dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot != 0)
        name.erase(dot);
    return name;
}

JsonDocument readJsonDocument(const fs::path& path)
{
    TextRead text = readBounded(path);
    if (text.state != ReadState::Ok || text.bytes.empty()) {
        platform::debugOutput("readJsonFile: nothing read from " + path.string());
        return {Json::Value(), text.state == ReadState::Ok ? ReadState::Malformed : text.state};
    }
    auto parsed = parseJson(text.bytes);
    if (!parsed) {
        platform::debugOutput("readJsonFile: does not parse: " + path.string());
        return {Json::Value(), ReadState::Malformed};
    }
    return {std::move(*parsed), ReadState::Ok};
}

std::optional<Json::Value> parseJson(std::string_view text)
{
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    // Comments are kept with their values, so a rewrite puts them back.
    builder["collectComments"] = true;
    builder["stackLimit"] = 256;
    builder["failIfExtra"] = false;
    try {
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value value;
        std::string errors;
        if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors))
            return std::nullopt;
        return value;
    } catch (const std::exception&) {
        return std::nullopt; // the nesting limit and other reader failures throw
    }
}

namespace {

// The code unit of a "\uXXXX" escape starting at `at`, or -1.
long escapedUnit(std::string_view text, std::size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return -1;
    const auto unit = platform::parseHex(text.substr(at + 2, 4), 0xFFFF);
    return unit ? static_cast<long>(*unit) : -1;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

// The styled writer escapes every non-ASCII character; the files have always held names
// as plain UTF-8, so those escapes are turned back. Escapes of ASCII characters stay.
std::string plainUtf8(std::string_view styled)
{
    std::string out;
    out.reserve(styled.size());
    for (std::size_t i = 0; i < styled.size(); ++i) {
        if (styled[i] != '\\') {
            out += styled[i];
            continue;
        }
        const long unit = escapedUnit(styled, i);
        if (unit < 0x80) {
            // Any other escape is copied whole, so "\\u00e9" stays text.
            out += styled[i];
            if (i + 1 < styled.size())
                out += styled[++i];
            continue;
        }
        char32_t cp = static_cast<char32_t>(unit);
        std::size_t length = 6;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const long low = escapedUnit(styled, i + 6);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                     (static_cast<char32_t>(low) - 0xDC00);
                length = 12;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            out.append(styled.substr(i, 6)); // a lone surrogate stays escaped
        } else {
            appendUtf8(out, cp);
            i += length - 6;
        }
        i += 5;
    }
    return out;
}

} // namespace

namespace {

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool holdsInvalidUtf8(const Json::Value& value)
{
    if (value.isString()) {
        const char* begin = nullptr;
        const char* end = nullptr;
        return value.getString(&begin, &end) &&
               !isValidUtf8(std::string_view(begin, static_cast<std::size_t>(end - begin)));
    }
    if (value.isArray() || value.isObject()) {
        for (const Json::Value& child : value) {
            if (holdsInvalidUtf8(child))
                return true;
        }
    }
    return false;
}

// A JSON string literal holding the bytes as they are, escaping only what JSON requires.
std::string quotedRaw(std::string_view bytes)
{
    std::string out = "\"";
    for (char c : bytes) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

// The writer decodes every string as UTF-8 and would turn stray bytes into other
// characters. Such strings (names written by other tools) are swapped for placeholders
// before writing and their bytes put back into the text afterwards.
void swapInvalidStrings(Json::Value& value, std::vector<std::string>& originals)
{
    if (value.isString()) {
        const std::string text = value.asString();
        if (!isValidUtf8(text)) {
            value = "\x01halvek-raw-" + std::to_string(originals.size()) + "\x01";
            originals.push_back(text);
        }
        return;
    }
    if (value.isArray() || value.isObject()) {
        for (Json::Value& child : value)
            swapInvalidStrings(child, originals);
    }
}

std::string styledText(const Json::Value& value)
{
    try {
        Json::StyledWriter writer;
        return plainUtf8(writer.write(value));
    } catch (const std::exception&) {
        return "null\n";
    }
}

std::string styledKeepingBytes(const Json::Value& value)
{
    if (!holdsInvalidUtf8(value))
        return styledText(value);
    Json::Value copy = value;
    std::vector<std::string> originals;
    swapInvalidStrings(copy, originals);
    std::string styled = styledText(copy);
    for (std::size_t n = 0; n < originals.size(); ++n) {
        const std::string placeholder = "\"\\u0001halvek-raw-" + std::to_string(n) + "\\u0001\"";
        const auto at = styled.find(placeholder);
        // A string that happened to hold the placeholder's text: write as the writer does.
        if (at == std::string::npos || styled.find(placeholder, at + 1) != std::string::npos)
            return styledText(value);
        styled.replace(at, placeholder.size(), quotedRaw(originals[n]));
    }
    return styled;
}

} // namespace

namespace {

constexpr Json::CommentPlacement kCommentPlacements[] = {
    Json::commentBefore, Json::commentAfterOnSameLine, Json::commentAfter};

bool hasComments(const Json::Value& value)
{
    for (const auto placement : kCommentPlacements)
        if (value.hasComment(placement))
            return true;
    if (value.isArray() || value.isObject())
        for (const auto& member : value)
            if (hasComments(member))
                return true;
    return false;
}

// jsoncpp copies comments with a value and cannot clear one, so the tree is rebuilt.
Json::Value withoutComments(const Json::Value& value)
{
    switch (value.type()) {
    case Json::objectValue: {
        Json::Value out(Json::objectValue);
        for (const auto& name : value.getMemberNames())
            out[name] = withoutComments(value[name]);
        return out;
    }
    case Json::arrayValue: {
        Json::Value out(Json::arrayValue);
        for (Json::ArrayIndex i = 0; i < value.size(); ++i)
            out.append(withoutComments(value[i]));
        return out;
    }
    case Json::intValue:
        return Json::Value(value.asLargestInt());
    case Json::uintValue:
        return Json::Value(value.asLargestUInt());
    case Json::realValue:
        return Json::Value(value.asDouble());
    case Json::booleanValue:
        return Json::Value(value.asBool());
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        return begin ? Json::Value(begin, end) : Json::Value("");
    }
    case Json::nullValue:
    default:
        return Json::Value();
    }
}

std::string withCrLf(const Json::Value& value)
{
    const std::string styled = styledKeepingBytes(value) + '\n';
    // The files have always been written in text mode on Windows.
    std::string out;
    out.reserve(styled.size() + styled.size() / 8);
    for (char c : styled) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

std::string formatJson(const Json::Value& value)
{
    if (!hasComments(value))
        return withCrLf(value);
    // Kept comments are written as they were read; one that would no longer read back as a
    // comment must not cost the file its values, so such a tree is written without them.
    std::string out = withCrLf(value);
    if (parseJson(out))
        return out;
    platform::debugOutput("formatJson: comments dropped, they would not read back");
    return withCrLf(withoutComments(value));
}

int writeFileReplacing(const fs::path& path, std::string_view bytes)
{
    // A file past the read bound could never be read back, and every later change to it
    // would fail: keep the old one instead.
    if (bytes.size() > kMaxJsonFileSize) {
        platform::debugOutput("writeJsonFile: " + std::to_string(bytes.size()) +
                              " bytes is more than a file may hold: " + path.string());
        return -1;
    }
    const auto written = platform::writeFileAtomically(path, bytes);
    if (written)
        return 0;
    platform::debugOutput("writeJsonFile: " + written.error().message);
    return -1;
}

std::optional<fs::path> setAside(const fs::path& path)
{
    if (isSpecialFile(path)) {
        // It cannot be copied, and nothing could read it in the file's place: it moves aside.
        auto moved = platform::setAsideFile(path, ".corrupt");
        if (moved) {
            platform::debugOutput("not a regular file, moved aside as " + moved->string());
            return std::move(*moved);
        }
        platform::debugOutput(moved.error().message);
        return std::nullopt;
    }
    std::error_code error;
    for (int n = 0; n < 1000; ++n) {
        fs::path copy = path;
        copy += n == 0 ? std::string(".corrupt") : ".corrupt" + std::to_string(n);
        if (fs::exists(copy, error))
            continue;
        if (fs::copy_file(path, copy, fs::copy_options::none, error)) {
            // The copy holds the user's data like the stored files: owner-only, whatever the
            // damaged file allowed.
            const auto owner = fs::perms::owner_read | fs::perms::owner_write;
            fs::permissions(copy, fs::status(copy, error).permissions() & owner, error);
            platform::debugOutput("damaged file kept as " + copy.string());
            return copy;
        }
        if (error != std::errc::file_exists) {
            std::error_code ignored;
            fs::remove(copy, ignored); // a copy cut short (a full disk) keeps nothing
        }
        break;
    }
    platform::debugOutput("could not keep a copy of the damaged file " + path.string());
    return std::nullopt;
}

std::string damageReason(const fs::path& keptAs)
{
    return isSpecialFile(keptAs) ? "is not a regular file" : "is damaged";
}

std::optional<Json::Value> readForRewrite(const fs::path& path, std::optional<fs::path>* keptAs)
{
    JsonDocument document = readJsonDocument(path);
    switch (document.state) {
    case ReadState::Ok:
        return std::move(document.value);
    case ReadState::Missing:
        return Json::Value();
    case ReadState::Malformed:
        if (auto kept = setAside(path)) {
            if (keptAs)
                *keptAs = std::move(kept);
            return Json::Value();
        }
        return std::nullopt;
    case ReadState::Unreadable:
        break;
    }
    platform::debugOutput("not rewriting a file that could not be read: " + path.string());
    return std::nullopt;
}

bool isSafeFileStem(std::string_view name)
{
    if (name.empty() || name.find("..") != std::string_view::npos)
        return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

std::optional<fs::path> fileInFolder(const fs::path& folder, std::string_view name,
                                     std::string_view extension)
{
    if (!isSafeFileStem(name))
        return std::nullopt;
    std::string file(name);
    file += extension;
    return folder / file;
}

platform::Result<platform::FolderLock> lockDataFolder(const fs::path& folder)
{
    (void)platform::createFolders(folder); // the lock's own error says what went wrong
    auto lock = platform::FolderLock::acquire(folder);
    if (!lock)
        platform::debugOutput("data folder not locked: " + lock.error().message);
    return lock;
}

void removeLeftoverWrites(const fs::path& folder)
{
    constexpr std::chrono::seconds kLeftoverAge{60};
    const std::size_t removed = platform::removeStaleTemporaryFiles(folder, kLeftoverAge);
    if (removed > 0)
        platform::debugOutput("removed " + std::to_string(removed) +
                              " temporary files of interrupted writes in " + folder.string());
}

} // namespace profile
