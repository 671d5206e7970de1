// The profile list shared by several processes: killed mid-change, and changed by two at once.
#include "profile/json_access.h"
#include "profile/profile_data.h"
#include "profile/profile_list.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace profile;
namespace fs = std::filesystem;

namespace {

// Killing a process tests what the disk holds after a cut at any point, not whether it
// reached the platters, so a memory file system keeps several hundred runs quick.
std::optional<std::string> memoryFolder()
{
    std::error_code error;
    if (fs::is_directory("/dev/shm", error))
        return std::string("/dev/shm");
    if (const char* current = std::getenv("TMPDIR"))
        return std::string(current);
    return std::nullopt;
}

class SharedListTest : public ::testing::Test {
protected:
    SharedListTest()
    {
        std::ofstream(root / "keyboard.Json", std::ios::binary)
            << R"({"profilename": "factory", "Device": [{"LightInfo": {"Red": 9}}]})";
    }
    fs::path folder() const { return root / "keyboard"; }
    fs::path factory() const { return root / "keyboard.Json"; }

    // Opens the folder as the GUI would after a crash: finishes what can be finished, then
    // checks that every file parses and every entry has its file with the entry's name.
    void expectConsistent(const std::string& when)
    {
        ProfileList list;
        list.SetPaths(folder(), factory());
        list.InitProfiles();
        ASSERT_TRUE(list.isReadable()) << when;
        EXPECT_FALSE(fs::exists(folder() / kRenameNoteFileName)) << when;
        for (const auto& entry : fs::directory_iterator(folder())) {
            const std::string name = entry.path().filename().string();
            if (name.front() == '.')
                continue; // temporary files of killed writes; hidden from every reader
            EXPECT_EQ(readJsonDocument(entry.path()).state, ReadState::Ok) << when << name;
        }
        const int count = list.GetProfileCount();
        ASSERT_GT(count, 0) << when;
        // No profile file is left that the list does not name: the user could never reach it.
        std::set<fs::path> named;
        for (int i = 0; i < count; ++i)
            named.insert(list.GetProfilePath(i));
        for (const auto& entry : fs::directory_iterator(folder())) {
            if (entry.path().extension() == kProfileExtension) {
                EXPECT_TRUE(named.count(entry.path())) << when << entry.path().filename();
            }
        }
        for (int i = 0; i < count; ++i) {
            const JsonDocument profile = readJsonDocument(list.GetProfilePath(i));
            ASSERT_EQ(profile.state, ReadState::Ok) << when << " entry " << i;
            EXPECT_EQ(json::readText(json::member(profile.value, "profilename")),
                      list.names()[static_cast<std::size_t>(i)])
                << when << " entry " << i;
        }
    }

    testing_support::ScopedEnvironment m_temporary{"TMPDIR", memoryFolder()};
    testing_support::TempDir root;
};

// Changes the list until killed, writing one byte to `done` after each change.
[[noreturn]] void churn(const fs::path& folder, const fs::path& factory, unsigned seed, int done)
{
    std::mt19937 random(seed);
    ProfileList list;
    list.SetPaths(folder, factory);
    list.InitProfiles();
    for (;;) {
        const auto count = static_cast<int>(list.names().size());
        if (count > 0)
            list.SelectProfile(static_cast<int>(random() % static_cast<unsigned>(count)));
        switch (random() % 4) {
        case 0:
            if (count >= 12)
                list.DeleteProfile();
            else
                list.AddProfile();
            break;
        case 1:
            list.CopyProfile();
            break;
        default:
            list.RenameProfile(L"name " + std::to_wstring(random() % 100000));
            break;
        }
        if (::write(done, "x", 1) != 1)
            std::_Exit(1);
    }
}

} // namespace

TEST_F(SharedListTest, KillsDuringAddCopyAndRenameLeaveEveryEntryWithItsFile)
{
    std::mt19937 random(12345);
    constexpr int kKills = 300;
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            churn(folder(), factory(), static_cast<unsigned>(kill), pipeFds[1]);
        }
        ::close(pipeFds[1]);
        // Let a few changes finish, then cut the next one at a random point.
        char byte = 0;
        for (unsigned done = random() % 3; done > 0; --done)
            ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(pipeFds[0]);
        if (kill % 50 == 49)
            expectConsistent("after kill " + std::to_string(kill) + ": ");
        if (HasFailure())
            return;
    }
}

TEST_F(SharedListTest, TwoProgramsAddingAtOnceLoseNothing)
{
    ProfileList first;
    first.SetPaths(folder(), factory());
    first.InitProfiles();
    constexpr int kAdds = 12;
    std::vector<pid_t> children;
    for (int program = 0; program < 2; ++program) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Both start from the same list, as two `halvekctl profile add` would.
            ProfileList list;
            list.SetPaths(folder(), factory());
            list.InitProfiles();
            bool ok = true;
            for (int i = 0; i < kAdds; ++i)
                ok = list.AddProfile() && ok;
            std::_Exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ProfileList after;
    after.SetPaths(folder(), factory());
    after.InitProfiles();
    ASSERT_EQ(after.names().size(), 1u + 2 * kAdds);
    const std::set<std::wstring> unique(after.names().begin(), after.names().end());
    EXPECT_EQ(unique.size(), after.names().size());
    std::size_t profiles = 0;
    for (const auto& entry : fs::directory_iterator(folder()))
        profiles += entry.path().extension() == kProfileExtension;
    EXPECT_EQ(profiles, after.names().size());
    expectConsistent("");
}
