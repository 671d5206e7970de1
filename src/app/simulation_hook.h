#pragma once

#include "ui/script/script_runner.h"

namespace app {

// What a scripted session's "sim plug|unplug cable|receiver" steps call: set by the code
// that runs the emulated devices (halvek --simulate), cleared with an empty function.
// UI thread only; the handler runs on the UI thread.
void setSimulationHandler(ui::script::SimulationHandler handler);
// Plugs or unplugs through the handler; false when none is set or it refused.
bool simulate(ui::script::SimAction action, ui::script::SimLink link);

} // namespace app
