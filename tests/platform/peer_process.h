#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace testing_support {

// The test executable doubles as the other process of cross-process tests: started with a
// role, it plays it before main() runs and exits with the role's result code.
//
// Roles (the folder is the shared IPC and lock folder):
//   "echo"     receives as "peer", tells "test" it is "ready", sends every message back to
//              its sender until "quit" arrives; exit 0.
//   "instance" a program start: kPeerFirst when it got the single-instance lock,
//              kPeerWokeFirst when another held it and was woken, kPeerFailed otherwise.
//   "hold"     takes the lock, tells "test" "ready" and waits to be killed.
inline constexpr int kPeerFirst = 10;
inline constexpr int kPeerWokeFirst = 11;
inline constexpr int kPeerFailed = 12;

pid_t startPeer(const std::string& role, const std::filesystem::path& folder);

// Waits for the peer to end; its exit code, or -signal when a signal ended it.
int waitForPeer(pid_t pid);

} // namespace testing_support
