#include "support/run_command.h"

#include <sys/wait.h>

namespace testing_support {

std::filesystem::path builtProgramPath(const std::string& program)
{
    return std::filesystem::path(HALVEK_BINARY_DIR) / program;
}

std::FILE* openCommandPipe(const std::string& program, const std::string& arguments,
                           ErrorStream errors)
{
    const std::string command = builtProgramPath(program).string() + " " + arguments +
                                (errors == ErrorStream::Captured ? " 2>&1" : " 2>/dev/null");
    return ::popen(command.c_str(), "r");
}

int closeCommandPipe(std::FILE* pipe)
{
    const int status = ::pclose(pipe);
    return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

} // namespace testing_support
