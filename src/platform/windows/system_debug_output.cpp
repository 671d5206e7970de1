#include "platform/system_debug_output.h"

#include <string>
#include <windows.h>

namespace platform {

void systemDebugOutput(std::wstring_view line)
{
    std::wstring text(line);
    text += L'\n';
    OutputDebugStringW(text.c_str());
}

} // namespace platform
