#include "support/system_traits.h"

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

} // namespace testing_support
