#pragma once

// Shared by the Windows backend files only: who this process is, and access lists that let
// only this user in.

#include "platform/result.h"

#include <memory>
#include <vector>
#include <windows.h>

namespace platform::windows {

using Sid = std::vector<BYTE>; // a SID in storage of its own

// This process's user, and the owner the system gives what it creates (the Administrators
// group in an elevated process).
struct ProcessIdentity {
    Sid user;
    Sid defaultOwner;
};
[[nodiscard]] Result<ProcessIdentity> processIdentity();

[[nodiscard]] Result<Sid> wellKnownSid(WELL_KNOWN_SID_TYPE type);
bool sameSid(const Sid& sid, PSID other);

// A security descriptor whose access list lets in this user and the system and nobody
// else, for what other users must not reach: the pipes of our programs, a private folder.
// Movable; attributes() stays valid for the object's life.
class OwnerOnlySecurity {
public:
    enum class Inheritance {
        None,       // a pipe, or a folder whose contents keep their own lists
        ToContents, // a folder: what is created in it gets the same list
    };
    [[nodiscard]] static Result<OwnerOnlySecurity> make(Inheritance inheritance);

    PACL acl() const { return reinterpret_cast<PACL>(m_acl->data()); }
    // Its list is protected: nothing from the parent folder is inherited into it.
    PSECURITY_DESCRIPTOR descriptor() const { return m_descriptor.get(); }
    SECURITY_ATTRIBUTES* attributes() const { return m_attributes.get(); }

private:
    OwnerOnlySecurity() = default;

    // On the heap, so that the pointers between them survive a move.
    std::unique_ptr<std::vector<BYTE>> m_acl;
    std::unique_ptr<SECURITY_DESCRIPTOR> m_descriptor;
    std::unique_ptr<SECURITY_ATTRIBUTES> m_attributes;
};

} // namespace platform::windows
