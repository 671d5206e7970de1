#include "platform/folders.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

namespace {

mode_t modeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

} // namespace

TEST(Folders, XdgVariablesWinOverHomeDefaults)
{
    TempDir home;
    ScopedEnvironment homeVariable("HOME", home.path().string());
    {
        ScopedEnvironment data("XDG_DATA_HOME", "/xdg/data");
        ScopedEnvironment config("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(platform::userDataFolder(), fs::path("/xdg/data"));
        EXPECT_EQ(platform::configFolder(), fs::path("/xdg/config"));
    }
    // Unset, empty and relative values are all ignored.
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/data")}) {
        ScopedEnvironment data("XDG_DATA_HOME", value);
        ScopedEnvironment config("XDG_CONFIG_HOME", value);
        EXPECT_EQ(platform::userDataFolder(), home / ".local/share");
        EXPECT_EQ(platform::configFolder(), home / ".config");
    }
}

TEST(Folders, RuntimeFolderFallsBackToAPrivateTemporaryFolder)
{
    TempDir temporary;
    ScopedEnvironment tmpdir("TMPDIR", temporary.path().string());
    const auto expected = temporary / ("halvek-" + std::to_string(::getuid()));
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("/no/such/folder")}) {
        ScopedEnvironment runtime("XDG_RUNTIME_DIR", value);
        auto folder = platform::runtimeFolder();
        ASSERT_TRUE(folder) << folder.error().message;
        EXPECT_EQ(*folder, expected);
        EXPECT_EQ(modeOf(expected), 0700u);
    }
    // A fallback that is ours but open to others is closed again.
    ASSERT_EQ(::chmod(expected.c_str(), 0777), 0);
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", std::nullopt);
    ASSERT_TRUE(platform::runtimeFolder());
    EXPECT_EQ(modeOf(expected), 0700u);
}

TEST(Folders, RuntimeFolderRefusesAFallbackThatIsNoFolder)
{
    TempDir temporary;
    ScopedEnvironment tmpdir("TMPDIR", temporary.path().string());
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", std::nullopt);
    // Someone else's symlink in the shared temporary folder must not be followed.
    const auto fallback = temporary / ("halvek-" + std::to_string(::getuid()));
    fs::create_directory(temporary / "elsewhere");
    fs::create_directory_symlink(temporary / "elsewhere", fallback);
    EXPECT_FALSE(platform::runtimeFolder());
}

TEST(Folders, InstanceRuntimeFolderIsCreatedOwnerOnly)
{
    TempDir runtimeBase;
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", runtimeBase.path().string());
    auto folder = platform::instanceRuntimeFolder();
    ASSERT_TRUE(folder) << folder.error().message;
    EXPECT_EQ(*folder, runtimeBase / "SPhalvek2vizudi");
    EXPECT_EQ(modeOf(*folder), 0700u);
}

TEST(Folders, MissingLevelsAreCreated)
{
    TempDir root;
    ASSERT_TRUE(platform::createFolders(root / "a/b/c"));
    EXPECT_TRUE(fs::is_directory(root / "a/b/c"));
    EXPECT_TRUE(platform::createFolders(root / "a/b/c")); // already there
    ASSERT_TRUE(platform::createPrivateFolder(root / "p/q"));
    EXPECT_EQ(modeOf(root / "p"), 0700u);
    EXPECT_EQ(modeOf(root / "p/q"), 0700u);
    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(platform::createFolders(root / "file/sub"));
    EXPECT_FALSE(platform::createPrivateFolder(root / "file"));
}

// The runtime and lock folders live where others may have made the name first: theirs is
// refused, whatever its mode, and left as it is.
TEST(Folders, AnExistingPrivateFolderOfAnotherUserIsRefusedInWords)
{
    TempDir root;
    const auto folder = root / "SPhalvek2vizudi";
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0777);
    if (::chown(folder.c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "only root can give a folder to another user here";
    const auto refused = platform::createPrivateFolder(folder);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, platform::Error::Code::Unavailable);
    EXPECT_NE(refused.error().message.find("belongs to another user"), std::string::npos)
        << refused.error().message;
    EXPECT_EQ(modeOf(folder), 0777u);

    TempDir runtimeBase;
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", runtimeBase.path().string());
    fs::create_directory(runtimeBase / "SPhalvek2vizudi");
    ASSERT_EQ(::chown((runtimeBase / "SPhalvek2vizudi").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::instanceRuntimeFolder());
}

TEST(Folders, ProgramFoldersAreCreatedPrivateAndExistingOnesClosed)
{
    TempDir root;
    ScopedEnvironment data("XDG_DATA_HOME", (root / "data").string());
    ScopedEnvironment config("XDG_CONFIG_HOME", (root / "config").string());
    ScopedEnvironment cache("XDG_CACHE_HOME", (root / "cache").string());
    const mode_t old = ::umask(022);
    // What an earlier version left under umask 022.
    fs::create_directories(root / "data/SPhalvek2vizudi/keyboard");
    std::ofstream(root / "data/SPhalvek2vizudi/keyboard/x.mac") << "{}";
    fs::permissions(root / "data/SPhalvek2vizudi/keyboard/x.mac", fs::perms(0644));
    fs::create_symlink("/etc/hostname", root / "data/SPhalvek2vizudi/link");
    const std::size_t tightened = platform::securePrivateFolders();
    ASSERT_TRUE(platform::createFolders(root / "data/SPhalvek2vizudi/new/level"));
    ::umask(old);
    EXPECT_EQ(tightened, 3u); // the folder, its subfolder and the file
    EXPECT_EQ(modeOf(root / "data/SPhalvek2vizudi"), 0700u);
    EXPECT_EQ(modeOf(root / "data/SPhalvek2vizudi/keyboard"), 0700u);
    EXPECT_EQ(modeOf(root / "data/SPhalvek2vizudi/keyboard/x.mac"), 0600u);
    EXPECT_EQ(modeOf(root / "data/SPhalvek2vizudi/new/level"), 0700u);
    EXPECT_EQ(modeOf(root / "config/SPhalvek2vizudi"), 0700u);
    EXPECT_EQ(modeOf(root / "cache/SPhalvek2vizudi"), 0700u);
    // A link is not followed to what it names.
    EXPECT_NE(modeOf("/etc/hostname") & 0044u, 0u);
    EXPECT_EQ(platform::securePrivateFolders(), 0u); // nothing left to close
}

TEST(Folders, ProgramFolderIsWhereTheShippedDataIs)
{
    TempDir root;
    const auto bin = root / "bin";
    fs::create_directories(bin);
    // Neither beside the executable nor installed: the executable's folder.
    EXPECT_EQ(platform::programFolderFor(bin), bin);
    fs::create_directories(root / "share/halvek/DefaultData");
    EXPECT_EQ(platform::programFolderFor(bin), root / "share/halvek");
    // Data beside the executable (a build tree) wins over an installed copy.
    fs::create_directories(bin / "skin");
    EXPECT_EQ(platform::programFolderFor(bin), bin);
}
