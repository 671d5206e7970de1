#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace companion {

// A sound file's samples mixed down to one channel, -1 to 1.
struct MonoSound {
    double sampleRate = 0;
    std::vector<float> samples;
};

// Files larger than this are refused rather than read (about six minutes of CD audio).
inline constexpr std::size_t kMaxWavFileSize = 64 * 1024 * 1024;

// 16-bit PCM or 32-bit float WAV, any number of channels. Every chunk length is checked
// against the bytes there; anything else is a clear error.
[[nodiscard]] platform::Result<MonoSound> parseWav(std::string_view bytes);
[[nodiscard]] platform::Result<MonoSound> readWav(const std::filesystem::path& file);

// 16-bit mono PCM.
std::string encodeWav(const MonoSound& sound);

// A sine whose frequency rises exponentially from `from` to `to` Hz, at half of full scale.
MonoSound makeSweep(double sampleRate, double seconds, double from, double to);

} // namespace companion
