#pragma once

#include "app/lighting_sync/device_lists.h"
#include "device/model/audio_spectrum.h"

#include <cstdint>
#include <span>

namespace app::lighting_sync {

// Copy-data blocks from other programs for the keyboard's audio lighting: spectrum packets
// become band levels (handed on every third packet), colour blocks go on as they are.
// The blocks come from anywhere: only whole values inside the block are read, missing ones
// read 0, and an empty block is ignored. UI thread.
class SpectrumFeed {
public:
    // True when the block was one of ours (by its id).
    bool onCopyData(std::uint64_t id, std::span<const std::uint8_t> data,
                    const DeviceLists& devices);

    const model::AudioSpectrum& spectrum() const { return m_spectrum; }

private:
    model::AudioSpectrum m_spectrum;
};

} // namespace app::lighting_sync
