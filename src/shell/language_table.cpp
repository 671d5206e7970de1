#include "shell/language_table.h"

#include "platform/text.h"
#include "profile/json_file.h"

namespace shell {

LanguageTable LanguageTable::read(const std::filesystem::path& file)
{
    LanguageTable table;
    const Json::Value root = profile::CJsonFile().ReadJson(file);
    if (!root.isObject() || !root["Language"].isArray())
        return table;
    for (const auto& item : root["Language"]) {
        if (!item.isObject() || !item["Language_name"].isString() ||
            !item["Language_file"].isString() || item["Language_file"].asString().empty()) {
            table.m_entries.emplace_back();
            continue;
        }
        LanguageEntry entry;
        entry.name = platform::fromUtf8(item["Language_name"].asString());
        entry.file = platform::fromUtf8(item["Language_file"].asString());
        entry.id = item["Language_ID"].isIntegral() ? item["Language_ID"].asInt64() : 0;
        if (item["Language_text"].isString())
            entry.textId = platform::fromUtf8(item["Language_text"].asString());
        table.m_entries.push_back(std::move(entry));
    }
    return table;
}

std::optional<LanguageEntry> LanguageTable::entry(long long index) const
{
    if (index < 0 || static_cast<unsigned long long>(index) >= m_entries.size())
        return std::nullopt;
    return m_entries[static_cast<std::size_t>(index)];
}

int LanguageTable::indexOfId(long long id) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i] && m_entries[i]->id == id)
            return static_cast<int>(i);
    }
    return 0;
}

bool languageNeedsFontRebuild(int oldIndex, int newIndex)
{
    const auto special = [](int i) { return i == 0 || i == 2 || i == 15; };
    return oldIndex < 0 || special(oldIndex) || special(newIndex);
}

} // namespace shell
