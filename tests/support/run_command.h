#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace testing_support {

struct CommandRun {
    int status = -1;    // the exit status, or -1 when the command could not run
    std::string output; // stdout, with stderr unless it was dropped
};

enum class ErrorStream { Captured, Dropped };

// One of the project's executables started from the build folder with the given arguments
// (a shell word list, quoted in 'single' or "double" quotes), its output in a pipe. Several
// may run at once; finish() waits for one and collects what it printed.
class StartedCommand {
public:
    explicit StartedCommand(std::FILE* pipe) : m_pipe(pipe) {}
    ~StartedCommand();
    StartedCommand(StartedCommand&& other) noexcept;
    StartedCommand& operator=(StartedCommand&&) = delete;
    StartedCommand(const StartedCommand&) = delete;
    StartedCommand& operator=(const StartedCommand&) = delete;

    CommandRun finish();

private:
    std::FILE* m_pipe = nullptr;
};

StartedCommand startBuiltProgram(const std::string& program, const std::string& arguments,
                                 ErrorStream errors = ErrorStream::Captured);
CommandRun runBuiltProgram(const std::string& program, const std::string& arguments,
                           ErrorStream errors = ErrorStream::Captured);

// A path as one shell word, whatever its separators (Windows' backslashes included).
std::string shellWord(const std::filesystem::path& path);

std::filesystem::path builtProgramPath(const std::string& program);
bool builtProgramExists(const std::string& program);

// The system's side: the pipe from the command interpreter, and the exit status it ends with.
std::FILE* openCommandPipe(const std::string& program, const std::string& arguments,
                           ErrorStream errors);
int closeCommandPipe(std::FILE* pipe);

} // namespace testing_support
