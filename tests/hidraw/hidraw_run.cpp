#include "hidraw/hidraw_run.h"

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

testing_support::CommandRun HidrawRun::run(const std::string& options, const std::string& script)
{
    const std::string path = "PATH=" + std::string(HALVEK_BINARY_DIR) + ":$PATH; export PATH; ";
    return testing_support::runBuiltProgram(
        "halvek-devsim", "--socket " + (folder / "devsim.sock").string() + " " + options +
                             " --hidraw -- sh -c " + quoted(path + script));
}

} // namespace hidraw_tests
