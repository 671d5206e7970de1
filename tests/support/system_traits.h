#pragma once

namespace testing_support {

// What a test of a portable interface may take for granted on the system it runs on; a
// test that checks one of these behaviours skips itself where the system has another (and
// that system's own tests cover it).
bool hasUnixFileModes();   // rwx bits per owner, group and others
bool usesXdgBaseFolders(); // XDG_CONFIG_HOME and the like name the user's folders

// This process's id, as the system numbers it.
long currentProcessId();

} // namespace testing_support
