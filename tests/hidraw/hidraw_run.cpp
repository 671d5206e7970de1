#include "hidraw/hidraw_run.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace hidraw_tests {
namespace {

constexpr int kUnavailableStatus = 77;

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

const std::string& unavailableReason()
{
    static const std::string reason = [] {
        for (const char* program : {"halvek-devsim", "halvekctl"}) {
            if (!testing_support::builtProgramExists(program))
                return std::string(program) + " is not built";
        }
        HidrawRun probe;
        const auto run = probe.run("--links none", "true");
        if (run.status == kUnavailableStatus)
            return run.output;
        return std::string();
    }();
    return reason;
}

bool nodesRequired()
{
    const char* required = std::getenv("HALVEK_HIDRAW_REQUIRED");
    return required != nullptr && std::string(required) == "1";
}

testing_support::CommandRun HidrawRun::runOutside(const std::string& script)
{
    testing_support::CommandRun run;
    const std::string path = "PATH=" + std::string(HALVEK_BINARY_DIR) + ":$PATH; export PATH; ";
    FILE* pipe = ::popen(("sh -c " + quoted(path + script) + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        run.output += chunk;
    const int status = ::pclose(pipe);
    run.status = status == -1 ? -1 : (status >> 8) & 0xFF;
    return run;
}

testing_support::CommandRun HidrawRun::run(const std::string& options, const std::string& script)
{
    const std::string path = "PATH=" + std::string(HALVEK_BINARY_DIR) + ":$PATH; export PATH; ";
    return testing_support::runBuiltProgram(
        "halvek-devsim", "--socket " + (folder / "devsim.sock").string() + " " + options +
                             " --hidraw -- sh -c " + quoted(path + script));
}

} // namespace hidraw_tests
