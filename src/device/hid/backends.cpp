#include "device/hid/hid_backend.h"
#include "device/hid/hid_presence.h"
#include "device/hid/open_connections.h"

#include "device/hid/hidraw/hidraw_backend.h"
#include "device/hid/sim/sim_backend.h"
#include "device/hid/sim/socket_backend.h"

#include <array>

namespace hid {

std::span<Backend* const> backends()
{
    static const std::array<Backend*, 3> all{&hidraw::hidrawBackend(), &sim::simBackend(),
                                             &sim::socketBackend()};
    return all;
}

bool isPathPresent(const std::wstring& path)
{
    if (takeLostConnection(path))
        return false;
    for (Backend* backend : backends()) {
        if (backend->isPresent(path))
            return true;
    }
    return false;
}

} // namespace hid
