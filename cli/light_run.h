#pragma once

#include "command_registry.h"

#include <string>
#include <vector>

namespace cli {

extern const char* const kLightRunUsage;
bool isLightRunCommand(const std::vector<std::string>& args);
// `light run ...`: the keyboard's lighting thread and frame sender against the device.
int runLightRun(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace cli
