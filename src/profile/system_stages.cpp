#include "profile/system_stages.h"

namespace profile {
namespace {

StageWords pack(const std::uint16_t (&fields)[6])
{
    StageWords words{};
    for (std::size_t i = 0; i < 3; ++i)
        words[i] = fields[2 * i] | (static_cast<std::uint32_t>(fields[2 * i + 1]) << 16);
    return words;
}

void unpack(const StageWords& words, std::uint16_t (&fields)[6])
{
    for (std::size_t i = 0; i < 3; ++i) {
        fields[2 * i] = static_cast<std::uint16_t>(words[i]);
        fields[2 * i + 1] = static_cast<std::uint16_t>(words[i] >> 16);
    }
}

} // namespace

StageWords toWords(const KeyboardSystemStages& s)
{
    return pack({s.repeat, s.repeatDelay, s.key6Flag, s.pollingRate, s.wFlag, s.winFlag});
}

KeyboardSystemStages keyboardStagesFromWords(const StageWords& words)
{
    std::uint16_t f[6];
    unpack(words, f);
    return KeyboardSystemStages{f[0], f[1], f[2], f[3], f[4], f[5]};
}

StageWords toWords(const MouseSystemStages& s)
{
    return pack({s.doubleClickTime, s.mouseSpeed, s.pointerPrecision, s.scrollPage,
                 s.wheelScrollLines, s.reportStage});
}

MouseSystemStages mouseStagesFromWords(const StageWords& words)
{
    std::uint16_t f[6];
    unpack(words, f);
    return MouseSystemStages{f[0], f[1], f[2], f[3], f[4], f[5]};
}

} // namespace profile
