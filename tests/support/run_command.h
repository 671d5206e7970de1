#pragma once

#include <string>

namespace testing_support {

struct CommandRun {
    int status = -1;    // the exit status, or -1 when the command could not run
    std::string output; // stdout and stderr together
};

// Runs one of the project's executables from the build folder with the given arguments
// (a shell word list) and collects what it printed.
CommandRun runBuiltProgram(const std::string& program, const std::string& arguments);

bool builtProgramExists(const std::string& program);

} // namespace testing_support
