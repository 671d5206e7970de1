#include "platform/bounded_read.h"

#include <algorithm>
#include <limits>

namespace platform {

Error fileTooLarge(const std::string& shownName, std::size_t maxBytes)
{
    return makeError(Error::Code::TooLarge,
                     shownName + " is larger than " + std::to_string(maxBytes) + " bytes");
}

Result<std::string> readAtMost(std::size_t maxBytes, const ReadSome& readSome,
                               const std::string& shownName)
{
    // One byte past the bound is read to tell "too large", so the bound itself must leave room.
    maxBytes = std::min(maxBytes, std::numeric_limits<std::size_t>::max() - 1);
    std::string content(maxBytes + 1 > 65536 ? 65536 : maxBytes + 1, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() > maxBytes)
                break;
            content.resize(std::min(content.size() * 2, maxBytes + 1));
        }
        auto got = readSome(content.data() + used, content.size() - used);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        used += *got;
    }
    if (used > maxBytes)
        return fileTooLarge(shownName, maxBytes);
    content.resize(used);
    return content;
}

} // namespace platform
