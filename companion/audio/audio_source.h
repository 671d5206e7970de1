#pragma once

#include "platform/result.h"

#include <memory>
#include <span>
#include <string>

namespace companion {

// Where the samples come from: the desktop's sound or a file. Blocks until a hop of samples
// is there.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual double sampleRate() const = 0;
    // Fills `hop` with mono samples; false at the end of the sound or on an error (then
    // error() says why).
    virtual bool read(std::span<float> hop) = 0;
    virtual std::string error() const = 0;
};

// What the default output device plays (the monitor of the default sink), through the
// sound server's simple capture interface.
[[nodiscard]] platform::Result<std::unique_ptr<AudioSource>> openDesktopCapture();

} // namespace companion
