#include "platform/temporary_files.h"

#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace platform {

namespace fs = std::filesystem;

namespace {

using Char = fs::path::value_type;
using Text = fs::path::string_type;

const Text& temporaryMark()
{
    static const Text mark = fs::path(".tmp-").native();
    return mark;
}

} // namespace

fs::path temporaryFileFor(const fs::path& file, std::uint64_t processId)
{
    static std::atomic<unsigned> counter{0};
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    // Appended piece by piece, in the system's own form: the file's name may have none other,
    // and GCC 12 at -O3 reports a false -Wrestrict on chained string +.
    fs::path name(".");
    name += file.filename();
    std::string rest(".tmp-");
    rest.append(std::to_string(processId));
    rest.append("-");
    rest.append(std::to_string(counter++));
    name += rest;
    return folder / name;
}

bool isTemporaryFile(const fs::path& file)
{
    const Text name = file.filename().native();
    const auto mark = name.rfind(temporaryMark());
    if (name.size() < 2 || name[0] != Char('.') || mark == Text::npos || mark < 2)
        return false;
    const auto rest = std::basic_string_view<Char>(name).substr(mark + temporaryMark().size());
    const auto dash = rest.find(Char('-'));
    if (dash == rest.npos || dash == 0 || dash + 1 == rest.size())
        return false;
    return std::all_of(rest.begin(), rest.end(),
                       [](Char c) { return c == Char('-') || (c >= Char('0') && c <= Char('9')); });
}

std::size_t removeStaleTemporaryFiles(const fs::path& folder, std::chrono::seconds minimumAge)
{
    std::size_t removed = 0;
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!isTemporaryFile(it->path()))
            continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const auto written = it->last_write_time(entryError);
        if (entryError || now - written < minimumAge)
            continue;
        if (fs::remove(it->path(), entryError))
            ++removed;
    }
    return removed;
}

} // namespace platform
