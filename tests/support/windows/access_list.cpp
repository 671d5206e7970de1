#include "support/windows/access_list.h"

#include "platform/text.h"
#include "platform/windows/security.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <algorithm>
#include <sddl.h>

namespace testing_support {

std::string sidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text))
        return "?";
    const std::string result = platform::toUtf8(text);
    LocalFree(text);
    return result;
}

std::vector<std::string> sidsLetIn(PACL acl)
{
    if (acl == nullptr)
        return {"everyone"};
    std::vector<std::string> sids;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* entry = nullptr;
        if (GetAce(acl, i, &entry) &&
            static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE)
            sids.push_back(sidText(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart));
    }
    std::sort(sids.begin(), sids.end());
    sids.erase(std::unique(sids.begin(), sids.end()), sids.end());
    return sids;
}

std::vector<std::string> userAndSystemSids()
{
    auto identity = platform::windows::processIdentity();
    auto system = platform::windows::wellKnownSid(WinLocalSystemSid);
    EXPECT_TRUE(identity && system);
    if (!identity || !system)
        return {};
    std::vector<std::string> sids = {sidText(identity->user.data()), sidText(system->data())};
    std::sort(sids.begin(), sids.end());
    return sids;
}

std::vector<std::string> pipeLetsIn(const std::wstring& pipe)
{
    // Opened to read its descriptor only: the server sees a client come and go.
    HANDLE client = CreateFileW(pipe.c_str(), READ_CONTROL, 0, nullptr, OPEN_EXISTING,
                                SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "pipe not opened: " << GetLastError();
        return {};
    }
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(client, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, &acl, nullptr, &descriptor);
    CloseHandle(client);
    if (read != ERROR_SUCCESS) {
        ADD_FAILURE() << "pipe's descriptor not read: " << read;
        return {};
    }
    auto sids = sidsLetIn(acl);
    LocalFree(descriptor);
    return sids;
}

} // namespace testing_support
