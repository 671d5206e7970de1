#pragma once

#include "devsim/keyboard.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace devsim {

// The emulated devices a program attaches for --simulate: they stay plugged while it
// lives, and with a state file the keyboard's memory is saved when it goes.
class Simulation {
public:
    virtual ~Simulation() = default;
    // Plugs or unplugs one way to the keyboard; false when this simulation cannot (the
    // devices of a halvek-devsim server are plugged through its control lines).
    virtual bool plug(KeyboardLink link) = 0;
    virtual bool unplug(KeyboardLink link) = 0;
};

// Plugs the emulated keyboard for the mode ("both", "cable", "receiver"), loading the state
// file when given, or connects to a running halvek-devsim for "socket". Null, with a message
// on stderr that starts with the program's name and ok false, when that cannot be done. An
// empty mode attaches nothing; an unknown one is refused.
std::unique_ptr<Simulation> attachSimulation(std::string_view program, const std::string& mode,
                                             const std::string& stateFile, bool& ok);

// A link named on a command line or in a script: "cable" or "receiver".
[[nodiscard]] std::optional<KeyboardLink> linkNamed(std::string_view name);

} // namespace devsim
