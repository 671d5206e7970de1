#pragma once

#include "platform/result.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace app {

// Which emulated links --simulate plugs in; Socket talks to a running halvek-devsim.
enum class SimulateMode { Both, Cable, Receiver, Socket };

// How the program shows its windows: on the desktop's display, or laid out and painted
// in memory only (scripted checks without a display).
enum class DisplayMode { Screen, Offscreen };

struct CommandLine {
    std::optional<std::filesystem::path> script;
    std::optional<SimulateMode> simulate;
    std::optional<std::filesystem::path> simState;
    DisplayMode display = DisplayMode::Screen;
    bool trace = false; // the program's trace, command frames included, on stderr
    bool help = false;
};

// Parses the arguments after the program name. Both "--opt VALUE" and "--opt=VALUE"
// are accepted for the options that take a file; an unknown option, a missing value or
// an option given twice is an error whose message names it.
[[nodiscard]] platform::Result<CommandLine>
parseCommandLine(std::span<const std::string_view> args);

// The text --help prints.
std::string_view commandLineUsage();

} // namespace app
