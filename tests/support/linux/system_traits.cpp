#include "support/system_traits.h"

#include <unistd.h>

namespace testing_support {

bool hasUnixFileModes()
{
    return true;
}

bool usesXdgBaseFolders()
{
    return true;
}

long currentProcessId()
{
    return static_cast<long>(::getpid());
}

} // namespace testing_support
