#include "app/simulation_hook.h"

namespace app {
namespace {

ui::script::SimulationHandler& handler()
{
    static ui::script::SimulationHandler current;
    return current;
}

} // namespace

void setSimulationHandler(ui::script::SimulationHandler value)
{
    handler() = std::move(value);
}

bool simulate(ui::script::SimAction action, ui::script::SimLink link)
{
    return handler() && handler()(action, link);
}

} // namespace app
