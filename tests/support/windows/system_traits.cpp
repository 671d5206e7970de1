#include "support/system_traits.h"

#include <windows.h>

namespace testing_support {

// Access lists instead of modes, and %APPDATA% and %LOCALAPPDATA% for the user's folders.
bool hasUnixFileModes()
{
    return false;
}

bool usesXdgBaseFolders()
{
    return false;
}

long currentProcessId()
{
    return static_cast<long>(GetCurrentProcessId());
}

} // namespace testing_support
