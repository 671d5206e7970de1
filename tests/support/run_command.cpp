#include "support/run_command.h"

#include <utility>

namespace testing_support {

StartedCommand::~StartedCommand()
{
    if (m_pipe != nullptr)
        (void)finish();
}

StartedCommand::StartedCommand(StartedCommand&& other) noexcept
    : m_pipe(std::exchange(other.m_pipe, nullptr))
{
}

CommandRun StartedCommand::finish()
{
    CommandRun run;
    std::FILE* pipe = std::exchange(m_pipe, nullptr);
    if (pipe == nullptr)
        return run;
    char chunk[512];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, got);
    run.status = closeCommandPipe(pipe);
    // Windows programs end their lines with CR LF; the tests compare lines alone.
    for (std::size_t at = run.output.find("\r\n"); at != std::string::npos;
         at = run.output.find("\r\n", at))
        run.output.erase(at, 1);
    return run;
}

StartedCommand startBuiltProgram(const std::string& program, const std::string& arguments,
                                 ErrorStream errors)
{
    return StartedCommand(openCommandPipe(program, arguments, errors));
}

CommandRun runBuiltProgram(const std::string& program, const std::string& arguments,
                           ErrorStream errors)
{
    return startBuiltProgram(program, arguments, errors).finish();
}

std::string shellWord(const std::filesystem::path& path)
{
    const auto utf8 = path.u8string();
    return "'" + std::string(utf8.begin(), utf8.end()) + "'";
}

bool builtProgramExists(const std::string& program)
{
    return std::filesystem::exists(builtProgramPath(program));
}

} // namespace testing_support
