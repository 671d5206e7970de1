#include "shell/app_messages.h"

namespace shell {

AppMessages& appMessages()
{
    static AppMessages messages;
    return messages;
}

} // namespace shell
