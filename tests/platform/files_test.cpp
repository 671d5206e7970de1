#include "platform/files.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

std::string contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool onlyFilesAre(const fs::path& folder, std::initializer_list<std::string> names)
{
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++count;
        if (std::find(names.begin(), names.end(), entry.path().filename().string()) == names.end())
            return false;
    }
    return count == names.size();
}

} // namespace

TEST(ReadFileBounded, ReadsUpToTheBoundAndNoFurther)
{
    TempDir folder;
    std::ofstream(folder / "ten") << "0123456789";
    EXPECT_EQ(platform::readFileBounded(folder / "ten", 10).value(), "0123456789");
    auto tooLarge = platform::readFileBounded(folder / "ten", 9);
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, platform::Error::Code::TooLarge);
    EXPECT_EQ(platform::readFileBounded(folder / "missing", 10).error().code,
              platform::Error::Code::NotFound);
    EXPECT_FALSE(platform::readFileBounded(folder.path(), 10)); // a folder is no file
    // "No limit" must not wrap the one-byte-more probe around to zero.
    EXPECT_EQ(platform::readFileBounded(folder / "ten", SIZE_MAX).value(), "0123456789");
}

TEST(WriteFileAtomically, ReplacesTheFileInOneStep)
{
    TempDir folder;
    const auto file = folder / "ProfileList.ini";
    ASSERT_TRUE(platform::writeFileAtomically(file, "old content"));
    // A second name for the old file: an in-place rewrite would change what it shows.
    fs::create_hard_link(file, folder / "old-link");
    ASSERT_TRUE(platform::writeFileAtomically(file, "new"));
    EXPECT_EQ(contentOf(file), "new");
    EXPECT_EQ(contentOf(folder / "old-link"), "old content");
    EXPECT_TRUE(onlyFilesAre(folder.path(), {"ProfileList.ini", "old-link"}));
}

TEST(WriteFileAtomically, FailureLeavesNoTemporaryFileBehind)
{
    TempDir folder;
    // The rename cannot put a file over a folder; the write before it has succeeded.
    fs::create_directory(folder / "taken");
    auto written = platform::writeFileAtomically(folder / "taken", "content");
    EXPECT_FALSE(written);
    EXPECT_TRUE(onlyFilesAre(folder.path(), {"taken"}));
    EXPECT_FALSE(platform::writeFileAtomically(folder / "no/such/folder/file", "content"));
}

TEST(WriteFileAtomically, KeepsThePermissionsOfTheFileItReplaces)
{
    TempDir folder;
    const auto file = folder / "private";
    ASSERT_TRUE(platform::writeFileAtomically(file, "a"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(platform::writeFileAtomically(file, "b"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}
