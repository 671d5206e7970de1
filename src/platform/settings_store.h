#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Named integer and text values in one small file, where the program once used registry
// values. Names compare case-insensitively, as registry value names do.
//
// Every read looks at the file as it is now; every change rewrites it atomically, and only
// when it changes something. A missing, oversized or unreadable file reads as empty, and a
// malformed line is skipped with a debug line: nothing here is ever fatal. A rewrite keeps
// every line but the changed value's byte for byte, those it does not understand too.
// Thread-safe within the process.
class SettingsStore {
public:
    // The program's own store: "settings.conf" in configFolder()/"SPhalvek2vizudi".
    static std::filesystem::path defaultFile();

    explicit SettingsStore(std::filesystem::path file);

    const std::filesystem::path& file() const { return m_file; }

    // nullopt when the value is missing or of the other type.
    [[nodiscard]] std::optional<std::int64_t> integer(std::wstring_view name) const;
    [[nodiscard]] std::optional<std::wstring> text(std::wstring_view name) const;
    // A text value as a path, its bytes as they are (text() would put U+FFFD for those that
    // are not UTF-8).
    [[nodiscard]] std::optional<std::filesystem::path> path(std::wstring_view name) const;

    // Names are non-empty, without "=" and control characters; texts are without control
    // characters other than tab, CR and LF. Creates the folder when missing.
    [[nodiscard]] Result<void> setInteger(std::wstring_view name, std::int64_t value);
    [[nodiscard]] Result<void> setText(std::wstring_view name, std::wstring_view value);
    // Stored as a text value holding the path's own bytes, which path() gives back.
    [[nodiscard]] Result<void> setPath(std::wstring_view name, const std::filesystem::path& value);
    // Succeeds when the value is gone, also when it never existed.
    [[nodiscard]] Result<void> remove(std::wstring_view name);

    // Larger files are taken as damaged and read as empty.
    static constexpr std::size_t kMaxFileSize = 64 * 1024;

private:
    struct Entry;
    struct Line;
    struct Contents;

    Contents load() const;
    static std::optional<Entry> parseLine(std::string_view line);
    static std::string lineFor(const Entry& entry);
    Result<void> change(std::wstring_view name, const Entry* replacement);

    std::filesystem::path m_file;
    mutable std::mutex m_lock; // one read-modify-write at a time
};

} // namespace platform
