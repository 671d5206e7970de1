#include "platform/windows/security.h"

#include "platform/windows/win_error.h"

namespace platform::windows {
namespace {

Result<Sid> tokenSid(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
        return systemError("this process's identity");
    // TOKEN_USER and TOKEN_OWNER both start with the SID's address.
    const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                       : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    const auto* bytes = static_cast<const BYTE*>(sid);
    return Sid(bytes, bytes + GetLengthSid(sid));
}

} // namespace

Result<ProcessIdentity> processIdentity()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return systemError("this process's identity");
    const Handle token(opened);
    auto user = tokenSid(token.get(), TokenUser);
    if (!user)
        return user.error();
    auto owner = tokenSid(token.get(), TokenOwner);
    if (!owner)
        return owner.error();
    return ProcessIdentity{std::move(*user), std::move(*owner)};
}

Result<Sid> wellKnownSid(WELL_KNOWN_SID_TYPE type)
{
    Sid sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size))
        return systemError("well-known SID " + std::to_string(type));
    sid.resize(size);
    return sid;
}

bool sameSid(const Sid& sid, PSID other)
{
    return other != nullptr && !sid.empty() && IsValidSid(other) &&
           EqualSid(const_cast<BYTE*>(sid.data()), other);
}

Result<OwnerOnlySecurity> OwnerOnlySecurity::make(Inheritance inheritance)
{
    auto identity = processIdentity();
    if (!identity)
        return identity.error();
    auto system = wellKnownSid(WinLocalSystemSid);
    if (!system)
        return system.error();
    const Sid* trusted[] = {&identity->user, &*system};

    DWORD size = sizeof(ACL);
    for (const Sid* sid : trusted)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid->size());
    OwnerOnlySecurity security;
    security.m_acl = std::make_unique<std::vector<BYTE>>(size);
    const DWORD flags =
        inheritance == Inheritance::ToContents ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    if (!InitializeAcl(security.acl(), size, ACL_REVISION))
        return systemError("owner-only access list");
    for (const Sid* sid : trusted)
        if (!AddAccessAllowedAceEx(security.acl(), ACL_REVISION, flags, FILE_ALL_ACCESS,
                                   const_cast<BYTE*>(sid->data())))
            return systemError("owner-only access list");

    security.m_descriptor = std::make_unique<SECURITY_DESCRIPTOR>();
    if (!InitializeSecurityDescriptor(security.m_descriptor.get(), SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(security.m_descriptor.get(), TRUE, security.acl(), FALSE) ||
        !SetSecurityDescriptorControl(security.m_descriptor.get(), SE_DACL_PROTECTED,
                                      SE_DACL_PROTECTED))
        return systemError("owner-only security descriptor");
    security.m_attributes = std::make_unique<SECURITY_ATTRIBUTES>();
    security.m_attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
    security.m_attributes->lpSecurityDescriptor = security.m_descriptor.get();
    security.m_attributes->bInheritHandle = FALSE;
    return security;
}

} // namespace platform::windows
