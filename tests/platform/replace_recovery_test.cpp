// A rewrite whose replace the system refused part-way, with the system's answer put in: the
// files each answer leaves are laid out in a folder, and no copy of the file may be lost.
#include "platform/replace_recovery.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::optional<std::string> contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void put(const fs::path& file, const std::string& content)
{
    std::ofstream(file, std::ios::binary) << content;
}

// The system's file operations as std::filesystem has them; the move can be made to fail.
platform::ReplaceFileOps folderOps(const bool& moveFails)
{
    return platform::ReplaceFileOps{
        [](const fs::path& path) { return fs::exists(path); },
        [&moveFails](const fs::path& from, const fs::path& to) -> platform::Result<void> {
            if (moveFails || fs::exists(to))
                return platform::makeError(platform::Error::Code::Io, "move refused");
            fs::rename(from, to);
            return {};
        },
        [](const fs::path& path) {
            std::error_code error;
            return fs::remove(path, error);
        }};
}

} // namespace

TEST(ReplaceRecovery, NoCopyOfTheFileIsLost)
{
    enum class Old { InPlace, Gone, Elsewhere, Never };
    struct Case {
        const char* name;
        std::uint32_t code;
        Old old; // where the replace left the old file
        bool moveFails;
        bool written;                    // the call succeeds
        std::optional<std::string> file; // the file's content afterwards; nullopt: none
        bool temporaryKept;
    };
    const Case cases[] = {
        // 1176: the old file is gone, the new content only under the temporary name.
        {"1176", platform::kErrorUnableToMoveReplacement, Old::Gone, false, true, "new", false},
        {"1176, move refused", platform::kErrorUnableToMoveReplacement, Old::Gone, true, false,
         std::nullopt, true},
        // 1177: the old file under a name of the system's, the new under the temporary one.
        {"1177", platform::kErrorUnableToMoveReplacement2, Old::Elsewhere, false, true, "new",
         false},
        {"1177, move refused", platform::kErrorUnableToMoveReplacement2, Old::Elsewhere, true,
         false, std::nullopt, true},
        // The same code with the old file still in place (as Wine leaves it).
        {"1176, old in place", platform::kErrorUnableToMoveReplacement, Old::InPlace, false, false,
         "old", false},
        {"sharing violation", 32, Old::InPlace, false, false, "old", false},
        // No old file: a first write moves; failing, it had nothing to lose.
        {"first write", platform::kErrorFileNotFound, Old::Never, false, true, "new", false},
        {"first write, move refused", platform::kErrorPathNotFound, Old::Never, true, false,
         std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const fs::path file = folder / "Profile.json";
        const fs::path temporary = folder / ".Profile.json.tmp-1-0";
        const fs::path elsewhere = folder / "Profile.json~system";
        put(temporary, "new");
        if (c.old == Old::InPlace)
            put(file, "old");
        if (c.old == Old::Elsewhere)
            put(elsewhere, "old");

        const platform::Error failure{platform::Error::Code::Io, "Profile.json: replace failed"};
        const auto result = platform::recoverFailedReplace(c.code, failure, file, temporary,
                                                           folderOps(c.moveFails));
        EXPECT_EQ(result.hasValue(), c.written);
        EXPECT_EQ(contentOf(file), c.file);
        EXPECT_EQ(contentOf(temporary),
                  c.temporaryKept ? std::optional<std::string>("new") : std::nullopt);
        if (c.temporaryKept) {
            // The words say where the content is.
            EXPECT_NE(result.error().message.find(".Profile.json.tmp-1-0"), std::string::npos)
                << result.error().message;
        }
        if (c.old == Old::Elsewhere) {
            EXPECT_EQ(contentOf(elsewhere), "old");
        }
    }
}
