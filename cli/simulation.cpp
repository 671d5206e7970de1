#include "simulation.h"

namespace cli {

std::unique_ptr<Simulation> attachSimulation(const GlobalOptions& options, bool& ok)
{
    return devsim::attachSimulation("halvekctl", options.simulate, options.simState, ok,
                                    options.device);
}

std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok)
{
    return devsim::attachSimulation("halvekctl", mode, {}, ok);
}

} // namespace cli
