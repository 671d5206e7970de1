#include "platform/files.h"

#include "platform/paths.h"
#include "platform/temporary_files.h"

#include "support/system_traits.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <thread>

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

#ifndef _WIN32 // FIFOs, device files and the umask are Unix's
TEST(ReadFileBounded, OnlyRegularFilesAndNothingBlocks)
{
    TempDir folder;
    const auto fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // With no writer, a blocking open would never return.
    for (const fs::path& path :
         {fifo, folder.path(), fs::path("/dev/zero"), fs::path("/dev/null")}) {
        auto read = platform::readFileBounded(path, 1024);
        ASSERT_FALSE(read) << path;
        EXPECT_NE(read.error().message.find("not a regular file"), std::string::npos)
            << read.error().message;
    }
}
#endif

TEST(SetAsideFile, RenamesToTheFirstFreeSuffix)
{
    TempDir folder;
    const auto file = folder / "settings.conf";
    std::ofstream(file) << "first";
    ASSERT_EQ(platform::setAsideFile(file, ".toolarge").value(), folder / "settings.conf.toolarge");
    std::ofstream(file) << "second";
    ASSERT_EQ(platform::setAsideFile(file, ".toolarge").value(),
              folder / "settings.conf.toolarge1");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(contentOf(folder / "settings.conf.toolarge"), "first");
    EXPECT_EQ(contentOf(folder / "settings.conf.toolarge1"), "second");
    EXPECT_FALSE(platform::setAsideFile(folder / "missing", ".x"));
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
    if (!testing_support::hasUnixFileModes())
        GTEST_SKIP() << "no file modes on this system";
    TempDir folder;
    const auto file = folder / "private";
    ASSERT_TRUE(platform::writeFileAtomically(file, "a"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(platform::writeFileAtomically(file, "b"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

#ifndef _WIN32 // FIFOs, device files and the umask are Unix's
TEST(WriteFileAtomically, NewFilesAreOwnerOnlyWhateverTheUmask)
{
    TempDir folder;
    const mode_t old = ::umask(022);
    const auto written = platform::writeFileAtomically(folder / "macro.config", "{}");
    ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(folder / "macro.config").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(WriteFileAtomically, ALinkStaysAndTheFileItLeadsToIsReplacedNeverMoreOpen)
{
    constexpr auto kOwner = fs::perms::owner_read | fs::perms::owner_write;
    struct Case {
        const char* what;
        const char* linkTo; // from the data folder; "" for no link
        bool viaSecondLink;
        fs::perms before; // of the file written; none when it is not there yet
        fs::perms after;
    };
    const Case cases[] = {
        {"a plain file readable by all", "", false, fs::perms(0644), kOwner},
        {"a link to a file readable by all", "../synced/p.Json", false, fs::perms(0644), kOwner},
        {"an absolute link, through a second link", "", true, fs::perms(0640), kOwner},
        {"a link to a file kept read-only", "../synced/p.Json", false, fs::perms(0400),
         fs::perms::owner_read},
        {"a link to a file not there yet", "../synced/p.Json", false, fs::perms::none, kOwner},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir root;
        fs::create_directories(root / "data");
        fs::create_directories(root / "synced");
        const fs::path stored = root / "data" / "p.Json";
        const fs::path target = *c.linkTo || c.viaSecondLink ? root / "synced" / "p.Json" : stored;
        if (c.before != fs::perms::none) {
            std::ofstream(target) << "old";
            fs::permissions(target, c.before);
        }
        if (*c.linkTo)
            fs::create_symlink(c.linkTo, stored);
        if (c.viaSecondLink) {
            fs::create_symlink(target, root / "synced" / "hop");
            fs::create_symlink(root / "synced" / "hop", stored);
        }
        ASSERT_TRUE(platform::writeFileAtomically(stored, "new"));
        EXPECT_EQ(contentOf(stored), "new");
        EXPECT_EQ(contentOf(target), "new");
        EXPECT_EQ(fs::is_symlink(stored), target != stored) << "the user's link was replaced";
        EXPECT_EQ(fs::status(target).permissions(), c.after);
    }
}
#endif

TEST(StaleTemporaryFiles, OnlyOldLeftoversOfKilledWritesAreRemoved)
{
    TempDir folder;
    // A name beyond ASCII has a form only in the system's own encoding on Windows.
    const auto chinese = folder / platform::toPath(L".\u914d\u7f6e.ini.tmp-12-0");
    std::ofstream(chinese) << "x";
    for (const char* name :
         {".list.ini.tmp-12-0", ".list.ini.tmp-12-1", "list.ini", ".hidden", ".list.ini.tmp-x-1"})
        std::ofstream(folder / name) << "x";
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(2);
    fs::last_write_time(chinese, old);
    for (const char* name : {".list.ini.tmp-12-0", "list.ini", ".hidden", ".list.ini.tmp-x-1"})
        fs::last_write_time(folder / name, old);

    EXPECT_EQ(platform::removeStaleTemporaryFiles(folder.path(), std::chrono::seconds(60)), 2u);
    // The young one may belong to a write that is still running.
    EXPECT_TRUE(onlyFilesAre(folder.path(),
                             {".list.ini.tmp-12-1", "list.ini", ".hidden", ".list.ini.tmp-x-1"}));
}

// What a killed write leaves must be what the clean-up looks for, whatever the file's name.
TEST(StaleTemporaryFiles, TheWritersTemporaryNamesAreTheOnesRecognised)
{
    for (const auto& name : {fs::path("list.ini"), platform::toPath(L"\u914d\u7f6e.ini"),
                             fs::path(".hidden"), fs::path("a.tmp-1-2")}) {
        const auto temporary = platform::temporaryFileFor(fs::path("folder") / name, 4242);
        EXPECT_EQ(temporary.parent_path(), fs::path("folder")) << temporary;
        EXPECT_TRUE(platform::isTemporaryFile(temporary)) << temporary;
        EXPECT_FALSE(platform::isTemporaryFile(name)) << name;
    }
    EXPECT_NE(platform::temporaryFileFor("list.ini", 1), platform::temporaryFileFor("list.ini", 1));
}

TEST(FolderLock, NestsOnOneThreadAndKeepsOthersOutUntilReleased)
{
    TempDir folder;
    std::optional<platform::FolderLock> outer;
    {
        auto first = platform::FolderLock::acquire(folder.path());
        ASSERT_TRUE(first);
        outer.emplace(std::move(*first));
    }
    {
        // The same folder by another spelling, on the same thread: only counted.
        auto inner = platform::FolderLock::acquire(folder / "." / "");
        ASSERT_TRUE(inner);
    }
    auto tryElsewhere = [&] {
        platform::Error::Code code{};
        bool taken = false;
        std::thread([&] {
            auto lock = platform::FolderLock::acquire(folder.path(), std::chrono::milliseconds(30));
            taken = static_cast<bool>(lock);
            if (!lock)
                code = lock.error().code;
        }).join();
        return taken ? std::optional<platform::Error::Code>() : code;
    };
    EXPECT_EQ(tryElsewhere(), platform::Error::Code::Timeout);
    outer.reset();
    EXPECT_EQ(tryElsewhere(), std::nullopt);

    auto missing = platform::FolderLock::acquire(folder / "absent");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, platform::Error::Code::NotFound);
}
