#pragma once

#include "devsim/keyboard.h"
#include "platform/result.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace devsim {

// The emulated devices a program attaches for --simulate: they stay plugged while it
// lives, and with a state file the device's memory is saved when it goes.
class Simulation {
public:
    virtual ~Simulation() = default;
    // Plugs or unplugs one way to the device; false when that could not be done.
    virtual bool plug(KeyboardLink link) = 0;
    virtual bool unplug(KeyboardLink link) = 0;
    // One control line of halvek-devsim ("report 0401", "profile 3", "unplug cable" ...)
    // for the emulated devices; the answer, or why the line could not be run.
    [[nodiscard]] virtual platform::Result<std::string> control(const std::string& line) = 0;
    // Why none of the emulated devices can be there ("no halvek-devsim is listening on …"),
    // for a program that found none; nullopt when they can.
    [[nodiscard]] virtual std::optional<std::string> absence() { return std::nullopt; }
};

// Plugs the emulated device of `device` ("keyboard", the default, or "mouse") for the mode
// ("both", "cable", "receiver"), loading the state file when given, or connects to a running
// halvek-devsim for "socket". Null, with a message on stderr that starts with the program's
// name and ok false, when that cannot be done. An empty mode attaches nothing; an unknown
// one is refused.
std::unique_ptr<Simulation> attachSimulation(std::string_view program, const std::string& mode,
                                             const std::string& stateFile, bool& ok,
                                             const std::string& device = "keyboard");

// A link named on a command line or in a script: "cable" or "receiver".
[[nodiscard]] std::optional<KeyboardLink> linkNamed(std::string_view name);

} // namespace devsim
