// What only the Windows build has to get right about names and files: user folders whose
// names lie beyond the code page, a replace that survives its writer being killed, and
// paths past the old 260-character limit.

#include "platform/child_process.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/text.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <windows.h>

namespace fs = std::filesystem;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

namespace {

constexpr std::size_t kVersionBytes = 4 * 1024 * 1024;
constexpr const char* kWriterVariable = "HALVEK_TEST_REPLACE_WRITER";

std::string utf8Of(const fs::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Every version of the file is one letter repeated, so a torn file shows at once.
bool isOneWholeVersion(const std::string& content)
{
    return content.size() == kVersionBytes &&
           content.find_first_not_of(content.front()) == std::string::npos;
}

} // namespace

TEST(WindowsFolders, UserFoldersUnderAChineseUserNameKeepTheirName)
{
    TempDir scratch;
    const fs::path roaming = scratch.path() / platform::toPath(L"\u5f20\u4f1f") / "AppData";
    ASSERT_TRUE(platform::createFolders(roaming));
    const ScopedEnvironment appData("APPDATA", utf8Of(roaming));

    EXPECT_EQ(platform::userDataFolder(), roaming);
    EXPECT_EQ(platform::toWide(platform::userDataFolder()).find(L"\u5f20\u4f1f") !=
                  std::wstring::npos,
              true);

    // A profile under that name, written, listed and read back by its wide name.
    const fs::path profiles = platform::userDataFolder() / platform::toPath(L"SPhalvek2vizudi");
    ASSERT_TRUE(platform::createFolders(profiles));
    const fs::path file = profiles / platform::toPath(L"\u914d\u7f6e 1.json");
    ASSERT_TRUE(platform::writeFileAtomically(file, "{}"));
    EXPECT_EQ(platform::readFileBounded(file, 16).value(), "{}");
    bool listed = false;
    for (const auto& entry : fs::directory_iterator(profiles))
        listed = listed || platform::toWide(entry.path().filename()) == L"\u914d\u7f6e 1.json";
    EXPECT_TRUE(listed);

    EXPECT_EQ(platform::SettingsStore::defaultFile(),
              roaming / "SPhalvek2vizudi" / "settings.conf");
    platform::SettingsStore store(platform::configFolder() / "settings.conf");
    ASSERT_TRUE(store.setText(L"Language", L"\u4e2d\u6587"));
    EXPECT_EQ(store.text(L"Language"), std::wstring(L"\u4e2d\u6587"));
}

// Run by ReplaceSurvivesItsWriterBeingKilled in a process of its own: rewrites the file
// with one version after another until it is killed, and says when the first is whole.
TEST(WindowsFiles, ReplaceWriterChild)
{
    const char* file = std::getenv(kWriterVariable);
    if (file == nullptr)
        GTEST_SKIP() << "runs only as the writer of ReplaceSurvivesItsWriterBeingKilled";
    const fs::path target = platform::toPath(platform::fromUtf8(file));
    HANDLE firstWritten = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\halvek-test-replace");
    ASSERT_NE(firstWritten, nullptr);
    for (char letter = 'b';; letter = letter == 'z' ? 'b' : static_cast<char>(letter + 1)) {
        ASSERT_TRUE(platform::writeFileAtomically(target, std::string(kVersionBytes, letter)));
        SetEvent(firstWritten);
    }
}

TEST(WindowsFiles, ReplaceSurvivesItsWriterBeingKilled)
{
    TempDir folder;
    const fs::path file = folder / "Profile.json";
    ASSERT_TRUE(platform::writeFileAtomically(file, std::string(kVersionBytes, 'a')));
    HANDLE firstWritten = CreateEventW(nullptr, TRUE, FALSE, L"Local\\halvek-test-replace");
    ASSERT_NE(firstWritten, nullptr);

    const ScopedEnvironment writer(kWriterVariable, utf8Of(file));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto child = platform::ChildProcess::start(fs::path(self),
                                               {"--gtest_filter=WindowsFiles.ReplaceWriterChild"});
    ASSERT_TRUE(child) << child.error().message;
    // Killed while it writes the next versions, at whatever point of a write it is.
    ASSERT_EQ(WaitForSingleObject(firstWritten, 60000), WAIT_OBJECT_0);
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(child->processId()));
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 9);
    CloseHandle(process);
    EXPECT_TRUE(child->waitForExit(std::chrono::seconds(30)));
    CloseHandle(firstWritten);

    const auto content = platform::readFileBounded(file, kVersionBytes * 2);
    ASSERT_TRUE(content) << content.error().message;
    EXPECT_TRUE(isOneWholeVersion(*content));
    EXPECT_NE(content->front(), 'a'); // the first new version had landed
    // What the kill left half-written is a temporary file, and it goes once it is old.
    platform::removeStaleTemporaryFiles(folder.path(), std::chrono::seconds(0));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(WindowsFiles, PathsPastTheOldLengthLimitWork)
{
    TempDir scratch;
    fs::path deep = scratch.path();
    while (deep.native().size() < 300)
        deep /= platform::toPath(L"\u76ee\u5f55-folder-with-a-long-name");
    ASSERT_TRUE(platform::createFolders(deep));
    const fs::path file = deep / "ProfileList.ini";
    ASSERT_GT(file.native().size(), static_cast<std::size_t>(MAX_PATH));
    ASSERT_TRUE(platform::writeFileAtomically(file, "first"));
    ASSERT_TRUE(platform::writeFileAtomically(file, "second"));
    EXPECT_EQ(platform::readFileBounded(file, 64).value(), "second");
    auto lock = platform::FolderLock::acquire(deep);
    EXPECT_TRUE(lock) << lock.error().message;
}
