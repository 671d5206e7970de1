#pragma once

// The emulated mouse, reached through its own cable (product 221C) and through its 2.4 GHz
// receiver (product 221D). It answers the same commands as the keyboard; its memory holds
// its key slots, DPI stages and 71-byte slot records (devsim/mouse_memory.h).

#include "devsim/emulated_device.h"
#include "devsim/mouse_memory.h"

#include "device/protocol/mouse_sequences.h"

#include <algorithm>

namespace devsim {

class Mouse final : public EmulatedDevice {
public:
    Mouse() : EmulatedDevice(mouseModel()) {}

    // Slot record n as the mouse holds it (71 bytes), for tests and dumps.
    protocol::MouseRecord slotRecord(std::size_t slot) const
    {
        protocol::MouseRecord record{};
        const auto settings = area(Area::Settings);
        const std::size_t at = slot * protocol::kMouseRecordStride;
        if (at + record.size() <= settings.size())
            std::copy_n(settings.begin() + static_cast<std::ptrdiff_t>(at), record.size(),
                        record.begin());
        return record;
    }
};

} // namespace devsim
