#pragma once

#include "command_registry.h"

#include "platform/result.h"

#include <memory>
#include <string>

namespace cli {

// The emulated devices a run of halvekctl attaches; they stay plugged while it lives, and
// with --sim-state the emulated device's memory is saved when it goes.
class Simulation {
public:
    virtual ~Simulation() = default;
    // One control line of halvek-devsim ("report 0401", "profile 3", "unplug cable" ...)
    // for the emulated devices; the answer, or why the line could not be run.
    [[nodiscard]] virtual platform::Result<std::string> control(const std::string& line) = 0;
};

// Plugs the simulated keyboard (or mouse, by --device) for --simulate=MODE ("both", "cable",
// "receiver"), loading
// --sim-state when given, or connects to a running halvek-devsim for "socket". Null, with a
// message on stderr and ok false, when that cannot be done. No mode attaches nothing.
std::unique_ptr<Simulation> attachSimulation(const GlobalOptions& options, bool& ok);
// The same for a mode alone, without a state file.
std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok);

} // namespace cli
