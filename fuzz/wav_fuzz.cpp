#include "companion/audio/wav_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Any file handed to --input: refused or read into samples within -1 to 1.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto sound =
        companion::parseWav(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!sound)
        return 0;
    for (float sample : sound->samples) {
        if (!std::isfinite(sample) || sample < -1.0f || sample > 1.0f)
            __builtin_trap();
    }
    return 0;
}
