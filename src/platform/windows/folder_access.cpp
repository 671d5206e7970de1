#include "platform/windows/folder_access.h"

#include "platform/windows/security.h"

#include <vector>

namespace platform::windows {
namespace {

struct Trusted {
    std::vector<Sid> owners;
    std::vector<Sid> entries; // the owners, and CREATOR OWNER for what is made inside

    bool isOwner(PSID sid) const { return contains(owners, sid); }
    bool mayEnter(PSID sid) const { return contains(entries, sid); }

    static bool contains(const std::vector<Sid>& sids, PSID sid)
    {
        for (const Sid& each : sids)
            if (sameSid(each, sid))
                return true;
        return false;
    }
};

Result<Trusted> trusted()
{
    auto identity = processIdentity();
    if (!identity)
        return identity.error();
    Trusted result;
    result.owners = {identity->user, identity->defaultOwner};
    for (const auto type : {WinLocalSystemSid, WinBuiltinAdministratorsSid}) {
        auto sid = wellKnownSid(type);
        if (!sid)
            return sid.error();
        result.owners.push_back(std::move(*sid));
    }
    result.entries = result.owners;
    auto creatorOwner = wellKnownSid(WinCreatorOwnerSid);
    if (!creatorOwner)
        return creatorOwner.error();
    result.entries.push_back(std::move(*creatorOwner));
    return result;
}

// No list at all lets everyone do everything.
bool isOpenToOthers(PACL acl, const Trusted& trusted)
{
    if (acl == nullptr)
        return true;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(acl, i, &entry))
            return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE ||
            header->AceType == SYSTEM_ALARM_ACE_TYPE ||
            header->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return true;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!trusted.mayEnter(&allowed->SidStart))
            return true;
    }
    return false;
}

} // namespace

Result<FolderAccess> judgeFolderAccess(PSID owner, PACL acl)
{
    auto who = trusted();
    if (!who)
        return who.error();
    if (!who->isOwner(owner))
        return FolderAccess::AnotherOwner;
    return isOpenToOthers(acl, *who) ? FolderAccess::OpenToOthers : FolderAccess::Private;
}

} // namespace platform::windows
