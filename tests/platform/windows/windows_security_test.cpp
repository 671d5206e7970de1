// Who may reach what our programs keep for their user alone: the IPC pipes, and the
// private folders (runtime and lock folders) when they existed before.

#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/text.h"
#include "platform/windows/folder_access.h"
#include "platform/windows/security.h"

#include "platform/ipc_inbox.h"
#include "support/temp_dir.h"
#include "support/windows/access_list.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <algorithm>
#include <sddl.h>
#include <windows.h>

namespace fs = std::filesystem;
using testing_support::IpcInbox;
using testing_support::TempDir;

namespace {

std::string sidText(const platform::windows::Sid& sid)
{
    return testing_support::sidText(const_cast<BYTE*>(sid.data()));
}

struct FolderSecurity {
    std::string owner;
    std::vector<std::string> letIn;
};

FolderSecurity securityOf(const fs::path& folder)
{
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    FolderSecurity result;
    if (GetNamedSecurityInfoW(folder.wstring().c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS)
        return result;
    result = {testing_support::sidText(owner), testing_support::sidsLetIn(acl)};
    LocalFree(descriptor);
    return result;
}

// An access list of the given entries, each letting its SID in (or out) with these flags.
struct Entry {
    const wchar_t* sid;
    BYTE type = ACCESS_ALLOWED_ACE_TYPE;
    BYTE flags = 0;
};

std::vector<BYTE> accessList(std::initializer_list<Entry> entries)
{
    std::vector<BYTE> acl(1024);
    EXPECT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), acl.size(), ACL_REVISION));
    for (const Entry& entry : entries) {
        PSID sid = nullptr;
        EXPECT_TRUE(ConvertStringSidToSidW(entry.sid, &sid)) << platform::toUtf8(entry.sid);
        const auto list = reinterpret_cast<PACL>(acl.data());
        EXPECT_TRUE(
            entry.type == ACCESS_ALLOWED_ACE_TYPE
                ? AddAccessAllowedAceEx(list, ACL_REVISION, entry.flags, FILE_ALL_ACCESS, sid)
                : AddAccessDeniedAceEx(list, ACL_REVISION, entry.flags, FILE_ALL_ACCESS, sid));
        LocalFree(sid);
    }
    return acl;
}

} // namespace

TEST(WindowsPipeSecurity, AnIpcPipeLetsInOnlyThisUserAndTheSystem)
{
    TempDir folder;
    IpcInbox inbox;
    platform::IpcEndpoint receiver(folder.path(), L"HalvekMain");
    ASSERT_TRUE(receiver.startReceiving(inbox.handler()));
    fs::path marker;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        marker = entry.path();
    ASSERT_EQ(marker.extension(), ".pipe");

    const std::wstring pipe = L"\\\\.\\pipe\\halvek-ipc-" + marker.stem().wstring();
    EXPECT_EQ(testing_support::pipeLetsIn(pipe), testing_support::userAndSystemSids());

    // And the pipe still takes this user's messages.
    const platform::IpcEndpoint sender(folder.path(), L"halvekctl");
    EXPECT_EQ(sender.post(L"HalvekMain", L"{after}", 0, 0).value(), 1u);
    EXPECT_TRUE(inbox.next());
}

TEST(WindowsPrivateFolder, ANewOneIsClosedToOthersAndOneOpenToEveryoneIsClosedAgain)
{
    TempDir root;
    const fs::path folder = root / "SPhalvek2vizudi";
    const auto made = platform::createPrivateFolder(folder);
    ASSERT_TRUE(made) << made.error().message;
    const auto identity = platform::windows::processIdentity();
    ASSERT_TRUE(identity);
    const auto created = securityOf(folder);
    EXPECT_EQ(created.owner, sidText(identity->user));
    EXPECT_EQ(std::count(created.letIn.begin(), created.letIn.end(), "S-1-1-0"), 0)
        << "everyone may enter a new private folder";

    // No list at all: everyone may do everything. (SetFileSecurityW: Wine ignores
    // SetNamedSecurityInfoW on folders, and shows the list its file mode gives.)
    SECURITY_DESCRIPTOR open{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    ASSERT_TRUE(SetFileSecurityW(folder.wstring().c_str(), DACL_SECURITY_INFORMATION, &open));
    const auto opened = securityOf(folder).letIn;
    ASSERT_TRUE(opened == std::vector<std::string>{"everyone"} ||
                std::count(opened.begin(), opened.end(), "S-1-1-0") == 1);
    ASSERT_TRUE(platform::createPrivateFolder(folder));
    EXPECT_EQ(securityOf(folder).letIn, testing_support::userAndSystemSids());
}

// What the check makes of an existing folder, whoever made it and however: the owner decides
// first, then every entry that lets someone in.
TEST(WindowsPrivateFolder, OnlyOursWithNobodyElseLetInIsPrivate)
{
    using platform::windows::FolderAccess;
    const auto identity = platform::windows::processIdentity();
    ASSERT_TRUE(identity);
    const std::wstring me = platform::fromUtf8(sidText(identity->user));
    const std::wstring system = L"S-1-5-18", admins = L"S-1-5-32-544", everyone = L"S-1-1-0",
                       users = L"S-1-5-32-545", creatorOwner = L"S-1-3-0",
                       someone = L"S-1-5-21-1-2-3-1001";
    const BYTE inheritOnly = INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    struct Case {
        const char* what;
        std::wstring owner;
        std::vector<BYTE> acl; // empty: no list at all
        FolderAccess expected;
    } cases[] = {
        {"ours, as made under the profile", me,
         accessList({{me.c_str()}, {system.c_str()}, {admins.c_str()}}), FolderAccess::Private},
        {"owned by Administrators (made elevated)", admins, accessList({{me.c_str()}}),
         FolderAccess::Private},
        {"creator owner for what is made inside", me,
         accessList({{me.c_str()}, {creatorOwner.c_str(), ACCESS_ALLOWED_ACE_TYPE, inheritOnly}}),
         FolderAccess::Private},
        {"everyone kept out", me,
         accessList({{everyone.c_str(), ACCESS_DENIED_ACE_TYPE}, {me.c_str()}}),
         FolderAccess::Private},
        {"no list at all", me, {}, FolderAccess::OpenToOthers},
        {"everyone let in", me, accessList({{me.c_str()}, {everyone.c_str()}}),
         FolderAccess::OpenToOthers},
        {"users let into what is made inside", me,
         accessList({{me.c_str()}, {users.c_str(), ACCESS_ALLOWED_ACE_TYPE, inheritOnly}}),
         FolderAccess::OpenToOthers},
        {"another user's, however closed", someone, accessList({{someone.c_str()}}),
         FolderAccess::AnotherOwner},
        {"another user's that lets us in", someone, accessList({{me.c_str()}}),
         FolderAccess::AnotherOwner},
    };
    for (auto& each : cases) {
        PSID owner = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(each.owner.c_str(), &owner));
        const auto judged = platform::windows::judgeFolderAccess(
            owner, each.acl.empty() ? nullptr : reinterpret_cast<PACL>(each.acl.data()));
        LocalFree(owner);
        ASSERT_TRUE(judged) << each.what;
        EXPECT_EQ(*judged, each.expected) << each.what;
    }
}
