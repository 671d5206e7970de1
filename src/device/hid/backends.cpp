#include "device/hid/hid_backend.h"

#include "device/hid/hidraw/hidraw_backend.h"
#include "device/hid/sim/sim_backend.h"

#include <array>

namespace hid {

std::span<Backend* const> backends()
{
    static const std::array<Backend*, 2> all{&hidraw::hidrawBackend(), &sim::simBackend()};
    return all;
}

} // namespace hid
