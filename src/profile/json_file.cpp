#include "profile/json_file.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/text.h"

#include <json/reader.h>
#include <json/writer.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace profile {
namespace fs = std::filesystem;

namespace {

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
    builder["collectComments"] = false;
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

std::string formatJson(const Json::Value& value)
{
    std::string styled;
    try {
        Json::StyledWriter writer;
        styled = writer.write(value);
    } catch (const std::exception&) {
        styled = "null\n";
    }
    styled += '\n';
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

int writeFileReplacing(const fs::path& path, std::string_view bytes)
{
    const auto written = platform::writeFileAtomically(path, bytes);
    if (written)
        return 0;
    platform::debugOutput("writeJsonFile: " + written.error().message);
    return -1;
}

bool setAside(const fs::path& path)
{
    std::error_code error;
    for (int n = 0; n < 1000; ++n) {
        fs::path copy = path;
        copy += n == 0 ? std::string(".corrupt") : ".corrupt" + std::to_string(n);
        if (fs::exists(copy, error))
            continue;
        if (fs::copy_file(path, copy, fs::copy_options::none, error)) {
            platform::debugOutput("damaged file kept as " + copy.string());
            return true;
        }
        break;
    }
    platform::debugOutput("could not keep a copy of the damaged file " + path.string());
    return false;
}

std::optional<Json::Value> readForRewrite(const fs::path& path)
{
    JsonDocument document = readJsonDocument(path);
    switch (document.state) {
    case ReadState::Ok:
        return std::move(document.value);
    case ReadState::Missing:
        return Json::Value();
    case ReadState::Malformed:
        if (setAside(path))
            return Json::Value();
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

} // namespace profile
