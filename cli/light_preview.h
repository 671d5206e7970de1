#pragma once

#include <string>
#include <vector>

namespace cli {

// "light frame" and "light cpu": the lighting engine without a device.
extern const char* const kLightPreviewUsage;
bool isLightPreviewCommand(const std::vector<std::string>& args);
int runLightPreview(const std::vector<std::string>& args);

} // namespace cli
