#include "support/system_traits.h"

namespace testing_support {

bool hasUnixFileModes()
{
    return true;
}

bool usesXdgBaseFolders()
{
    return true;
}

} // namespace testing_support
