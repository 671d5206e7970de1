#include "support/run_command.h"

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace testing_support {
namespace {

std::filesystem::path builtProgram(const std::string& program)
{
    return std::filesystem::path(HALVEK_BINARY_DIR) / program;
}

} // namespace

bool builtProgramExists(const std::string& program)
{
    return std::filesystem::exists(builtProgram(program));
}

CommandRun runBuiltProgram(const std::string& program, const std::string& arguments)
{
    CommandRun run;
    const std::string command = builtProgram(program).string() + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        run.output += chunk;
    const int status = ::pclose(pipe);
    run.status = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace testing_support
