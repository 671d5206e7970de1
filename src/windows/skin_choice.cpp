#include "windows/skin_choice.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/text.h"

#include <sstream>
#include <vector>

namespace windows {
namespace {

constexpr std::size_t kMaxIniSize = 64 * 1024;
constexpr std::string_view kSection = "SKINIMAGE";

std::string trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The section name when the line is a section header.
std::optional<std::string> sectionOf(const std::string& line)
{
    const std::string t = trim(line);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        return trim(std::string_view(t).substr(1, t.size() - 2));
    return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> keyOf(const std::string& line)
{
    const auto eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return std::pair{trim(std::string_view(line).substr(0, eq)),
                     trim(std::string_view(line).substr(eq + 1))};
}

} // namespace

SkinObserver& skinObserver()
{
    static SkinObserver* observer = new SkinObserver(); // outlives every receiver
    return *observer;
}

bool SkinIni::save(int flags, std::wstring_view image) const
{
    std::string text;
    if (auto read = platform::readFileBounded(m_file, kMaxIniSize))
        text = std::move(*read);
    else if (std::error_code ec; std::filesystem::exists(m_file, ec) || ec) {
        platform::debugOutput("main.ini not rewritten, it cannot be read: " + read.error().message);
        return false;
    }
    // A line break inside the value would start a new key.
    std::string value = platform::toUtf8(image);
    std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
    const std::string wanted[2][2] = {{"FLAGS", std::to_string(flags)}, {"IMAGE", value}};

    std::vector<std::string> lines = splitLines(text);
    std::vector<std::string> out;
    bool inSection = false, sectionSeen = false;
    bool written[2] = {false, false};
    const auto flushMissing = [&] {
        for (int k = 0; k < 2; ++k)
            if (!written[k]) {
                out.push_back(wanted[k][0] + "=" + wanted[k][1]);
                written[k] = true;
            }
    };
    for (const std::string& line : lines) {
        if (const auto section = sectionOf(line)) {
            if (inSection)
                flushMissing();
            inSection = sameName(*section, kSection);
            sectionSeen = sectionSeen || inSection;
            out.push_back(line);
            continue;
        }
        if (inSection) {
            if (const auto kv = keyOf(line)) {
                int k = sameName(kv->first, "FLAGS") ? 0 : sameName(kv->first, "IMAGE") ? 1 : -1;
                if (k >= 0) {
                    if (!written[k])
                        out.push_back(wanted[k][0] + "=" + wanted[k][1]);
                    written[k] = true;
                    continue;
                }
            }
        }
        out.push_back(line);
    }
    if (!sectionSeen) {
        // Built by appends: GCC 12 at -O3 warns falsely (-Wrestrict) on the concatenation.
        std::string header = "[";
        header.append(kSection);
        header.push_back(']');
        out.push_back(std::move(header));
    }
    flushMissing();

    std::string content;
    for (const auto& line : out)
        content += line + "\r\n";
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    if (const auto wrote = platform::writeFileAtomically(m_file, content); !wrote) {
        platform::debugOutput("main.ini not written: " + wrote.error().message);
        return false;
    }
    return true;
}

std::optional<SavedSkin> SkinIni::load() const
{
    const auto read = platform::readFileBounded(m_file, kMaxIniSize);
    if (!read)
        return std::nullopt;
    bool inSection = false, found = false;
    SavedSkin saved;
    for (const std::string& line : splitLines(*read)) {
        if (const auto section = sectionOf(line)) {
            inSection = sameName(*section, kSection);
            found = found || inSection;
            continue;
        }
        const auto kv = inSection ? keyOf(line) : std::nullopt;
        if (!kv)
            continue;
        if (sameName(kv->first, "FLAGS")) {
            int flags = 0;
            for (const char c : kv->second) {
                if (c < '0' || c > '9')
                    break;
                flags = std::min(flags * 10 + (c - '0'), 1'000'000);
            }
            saved.flags = flags;
        } else if (sameName(kv->first, "IMAGE")) {
            saved.image = platform::fromUtf8(kv->second);
        }
    }
    if (!found)
        return std::nullopt;
    return saved;
}

std::optional<std::wstring> SkinIni::startImage() const
{
    const auto saved = load();
    if (!saved || saved->flags != 1 || saved->image.empty())
        return std::nullopt;
    const std::filesystem::path image = platform::toUtf8(saved->image);
    if (image.is_absolute() || image.has_root_name() || image.has_root_directory())
        return std::nullopt;
    for (const auto& part : image)
        if (part == "..")
            return std::nullopt;
    return saved->image;
}

} // namespace windows
