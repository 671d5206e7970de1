#include "device/model/effect_codes.h"

namespace model {

std::uint8_t deviceEffectCode(int effectIndex, std::span<const std::int32_t> codes, int effectLimit)
{
    if (codes.empty())
        return 0;
    if (effectIndex < 0 || effectIndex >= effectLimit || std::size_t(effectIndex) >= codes.size())
        effectIndex = 0;
    return std::uint8_t(codes[std::size_t(effectIndex)]);
}

std::uint8_t effectIndexOfCode(std::uint8_t code, std::span<const std::int32_t> codes)
{
    for (std::size_t index = 0; index < codes.size() && index < 256; ++index) {
        if (codes[index] == code)
            return std::uint8_t(index);
    }
    return code;
}

} // namespace model
