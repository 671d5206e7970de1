#include "device/hid/hid_backend.h"
#include "device/hid/hid_presence.h"
#include "device/hid/open_connections.h"

namespace hid {

// backends() lives with the system's own backend, which it lists first.

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
