#include "app/lighting_sync/spectrum_feed.h"

#include "app/lighting_sync/feed_protocol.h"

#include <algorithm>
#include <array>

namespace app::lighting_sync {

bool SpectrumFeed::onCopyData(std::uint64_t id, std::span<const std::uint8_t> data,
                              const DeviceLists& devices)
{
    if (id != kSpectrumCopyDataId && id != kExternalColourCopyDataId)
        return false;
    if (data.empty())
        return true;
    SyncDevice* keyboard = devices.first(detect::DeviceKind::Keyboard);
    if (id == kSpectrumCopyDataId) {
        // The analysis runs without a keyboard too; its state carries to the next packet.
        const auto bands = m_spectrum.addPacket(data);
        if (bands && keyboard)
            keyboard->setAudioSpectrum(*bands);
        return true;
    }
    std::array<std::int32_t, kExternalColourValues> values{};
    const std::size_t whole = std::min(data.size() / 4, values.size());
    for (std::size_t i = 0; i < whole; ++i) {
        const std::uint8_t* bytes = data.data() + 4 * i;
        values[i] = std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                 std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
    }
    if (keyboard)
        keyboard->setExternalColour(values);
    return true;
}

} // namespace app::lighting_sync
