#pragma once

#include <optional>
#include <string>

namespace testing_support {

// Sets the variable (UTF-8 value) or, with nullopt, removes it, for this process and the
// programs it starts.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

} // namespace testing_support
