#pragma once

#include "command_registry.h"
#include "devsim/simulation.h"

#include "platform/result.h"

#include <memory>
#include <string>

namespace cli {

using Simulation = devsim::Simulation;

// halvekctl's --simulate, --sim-state and --device (see devsim::attachSimulation).
std::unique_ptr<Simulation> attachSimulation(const GlobalOptions& options, bool& ok);
// The same for a mode alone, without a state file.
std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok);

} // namespace cli
