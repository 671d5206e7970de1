#pragma once

#include <memory>
#include <string>

namespace cli {

// The emulated devices a run of halvekctl attaches; they stay plugged while it lives.
class Simulation {
public:
    virtual ~Simulation() = default;
};

// Plugs the simulated keyboard for --simulate=MODE ("both", "cable", "receiver"); null, with
// a message on stderr, when the mode is not supported. An empty mode attaches nothing.
std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok);

} // namespace cli
