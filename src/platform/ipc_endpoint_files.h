#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Every receiving IPC endpoint shows itself by a file in the shared folder named
// "<pid>-<n>-<hash of the endpoint name><suffix>": short whatever the name (a socket
// address has little room), and a sender picks its target by the hash without asking.
// The suffix says what the system keeps there (a socket, a pipe's marker).

// 16 hex digits of the lower-case name's UTF-8, so that names differing only in letter
// case meet.
std::string ipcNameHash(std::wstring_view name);

// The file of this process's n-th endpoint of that name.
std::filesystem::path ipcEndpointFile(const std::filesystem::path& folder, std::uint64_t processId,
                                      std::wstring_view name, std::string_view suffix);

// The name hash an endpoint file carries; empty for any other file.
std::string ipcEndpointHash(const std::filesystem::path& file, std::string_view suffix);

// The endpoint files in the folder whose hash is wantedHash (all of them when it is
// empty), leaving out `self`.
std::vector<std::filesystem::path> ipcEndpointFiles(const std::filesystem::path& folder,
                                                    std::string_view wantedHash,
                                                    const std::filesystem::path& self,
                                                    std::string_view suffix);

} // namespace platform
