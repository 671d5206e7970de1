#include "app/message_checks.h"

#include <algorithm>
#include <cstring>

namespace app {
std::optional<std::size_t> rowFromMessage(WPARAM wParam, std::size_t rowCount)
{
    if (wParam >= rowCount)
        return std::nullopt;
    return static_cast<std::size_t>(wParam);
}

std::optional<std::vector<std::int32_t>> copyDataValues(const COPYDATASTRUCT* data,
                                                        std::size_t maxBytes)
{
    if (!data || !data->lpData || data->cbData == 0)
        return std::nullopt;
    const std::size_t used = std::min<std::size_t>(data->cbData, maxBytes);
    std::vector<std::int32_t> values(maxBytes / sizeof(std::int32_t), 0);
    // Only whole values: a trailing part of one reads as 0.
    std::memcpy(values.data(), data->lpData, used - used % sizeof(std::int32_t));
    return values;
}

} // namespace app
