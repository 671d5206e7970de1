#include "profile/light_info.h"

#include <cstring>

namespace profile {

LightInfoWords toWords(const LightInfo& info)
{
    std::uint8_t bytes[16] = {};
    std::memcpy(bytes, &info, sizeof info);
    LightInfoWords words{};
    for (std::size_t i = 0; i < 16; ++i)
        words[i / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
    return words;
}

LightInfo lightInfoFromWords(const LightInfoWords& words)
{
    std::uint8_t bytes[16] = {};
    for (std::size_t i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(words[i / 4] >> (8 * (i % 4)));
    LightInfo info;
    std::memcpy(&info, bytes, sizeof info);
    return info;
}

AudioLightWords toWords(const AudioLightInfo& info)
{
    std::uint8_t bytes[9] = {};
    std::memcpy(bytes, &info, sizeof info);
    AudioLightWords words;
    for (std::size_t i = 0; i < 8; ++i) {
        auto& word = i < 4 ? words.word0 : words.word1;
        word |= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
    }
    words.last = bytes[8];
    return words;
}

AudioLightInfo audioLightInfoFromWords(const AudioLightWords& words)
{
    std::uint8_t bytes[9] = {};
    for (std::size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>((i < 4 ? words.word0 : words.word1) >> (8 * (i % 4)));
    bytes[8] = words.last;
    AudioLightInfo info;
    std::memcpy(&info, bytes, sizeof info);
    return info;
}

} // namespace profile
