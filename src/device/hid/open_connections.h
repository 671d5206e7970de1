#pragma once

// The connections open in this process, by path. A device unplugged and plugged again
// between two presence checks (as after a resume) is listed under the same path again,
// while the connections opened on it before are dead for good: only they can tell.

#include <memory>
#include <string>

namespace hid {

class Connection;

void registerConnection(const std::wstring& path, const std::weak_ptr<Connection>& connection);

// True when a connection open on the path has lost its device; that connection is then
// forgotten, so each loss is told once (its owner closes it, or keeps it knowingly).
[[nodiscard]] bool takeLostConnection(const std::wstring& path);

} // namespace hid
