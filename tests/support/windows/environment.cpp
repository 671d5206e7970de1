#include "support/environment.h"

#include "platform/text.h"

#include <cstdlib>
#include <windows.h>

namespace testing_support {

// Both the system's copy (what GetEnvironmentVariableW and child programs see) and the C
// runtime's (what getenv sees) change.
void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value)
{
    const std::wstring wideName = platform::fromUtf8(name);
    const std::wstring wideValue = value ? platform::fromUtf8(*value) : std::wstring();
    SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr);
    _wputenv_s(wideName.c_str(), wideValue.c_str());
}

} // namespace testing_support
