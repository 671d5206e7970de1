#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace shell {

// One entry of Language.config's "Language" array.
struct LanguageEntry {
    std::wstring name; // handed to the resource manager as the current language
    std::wstring file; // the language file
    long long id = 0;  // what the settings store remembers
    std::wstring textId;
};

// Language.config as read from the default data folder. A missing or malformed file, or
// an entry without a name and a file, gives no entry: nothing is applied or saved for it.
class LanguageTable {
public:
    static LanguageTable read(const std::filesystem::path& file);
    static constexpr long long kMissingId = 0x208;

    std::size_t size() const { return m_entries.size(); }
    [[nodiscard]] std::optional<LanguageEntry> entry(long long index) const;
    // The index of the first entry with this id; 0 when none has it.
    int indexOfId(long long id) const;

private:
    std::vector<std::optional<LanguageEntry>> m_entries;
};

// Whether moving between these indexes rebuilds the font table.
bool languageNeedsFontRebuild(int oldIndex, int newIndex);

} // namespace shell
