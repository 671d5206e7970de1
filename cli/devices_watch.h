#pragma once

#include "command_registry.h"

namespace cli {

// `devices --watch`: runs device detection and prints arrivals, removals, channel opens
// and cable/receiver switches as they happen, until the time limit (if any) runs out.
int watchDevices(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace cli
