#pragma once

// Who an access list lets in, as SID strings, for the tests that read back what our programs
// keep for their user alone.

#include <string>
#include <vector>
#include <windows.h>

namespace testing_support {

// "S-1-5-18"; "?" for a SID that cannot be shown.
std::string sidText(PSID sid);

// The SIDs the list lets in, sorted and once each; {"everyone"} for no list at all.
std::vector<std::string> sidsLetIn(PACL acl);

// This process's user and the system, sorted: what an owner-only list lets in.
std::vector<std::string> userAndSystemSids();

// Who may open the named pipe, read back from the pipe itself; empty when it cannot be read.
std::vector<std::string> pipeLetsIn(const std::wstring& pipe);

} // namespace testing_support
