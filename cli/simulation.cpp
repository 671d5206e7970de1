#include "simulation.h"

#include "devsim/keyboard_interfaces.h"

#include <cstdio>
#include <vector>

namespace cli {
namespace {

class KeyboardSimulation final : public Simulation {
public:
    void add(devsim::KeyboardLink link)
    {
        m_links.push_back(std::make_unique<devsim::KeyboardInterfaces>(link));
        m_links.back()->plug();
    }

private:
    std::vector<std::unique_ptr<devsim::KeyboardInterfaces>> m_links;
};

} // namespace

std::unique_ptr<Simulation> attachSimulation(const std::string& mode, bool& ok)
{
    ok = true;
    if (mode.empty())
        return nullptr;
    if (mode == "socket") {
        std::fputs("halvekctl: --simulate=socket is not yet supported\n", stderr);
        ok = false;
        return nullptr;
    }
    auto simulation = std::make_unique<KeyboardSimulation>();
    if (mode == "both" || mode == "cable")
        simulation->add(devsim::KeyboardLink::Cable);
    if (mode == "both" || mode == "receiver")
        simulation->add(devsim::KeyboardLink::Receiver);
    return simulation;
}

} // namespace cli
