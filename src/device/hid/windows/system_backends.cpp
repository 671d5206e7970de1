#include "device/hid/hid_backend.h"

#include "device/hid/sim/sim_backend.h"
#include "device/hid/sim/socket_backend.h"
#include "device/hid/windows/setupapi_backend.h"

#include <array>

namespace hid {

std::span<Backend* const> backends()
{
    static const std::array<Backend*, 3> all{&windows::setupApiBackend(), &sim::simBackend(),
                                             &sim::socketBackend()};
    return all;
}

} // namespace hid
