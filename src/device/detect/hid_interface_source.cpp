#include "device/detect/hid_interface_source.h"

#include "device/hid/hid_presence.h"

namespace detect {

std::optional<std::vector<std::wstring>> HidInterfaceSource::enumerate()
{
    if (!m_device.Enumerate())
        return std::nullopt;
    std::vector<std::wstring> paths;
    while (auto path = m_device.NextPath())
        paths.push_back(std::move(*path));
    m_device.FreePathList();
    return paths;
}

std::optional<InterfaceSource::Probe> HidInterfaceSource::probe(const std::wstring& path)
{
    if (!m_device.Open(path, hid::kProbeMode))
        return std::nullopt;
    const Probe result{m_device.attributes().vendorId, m_device.attributes().productId,
                       m_device.caps().usagePage, m_device.caps().usage};
    m_device.Close();
    return result;
}

bool HidInterfaceSource::isPresent(const std::wstring& path)
{
    return hid::isPathPresent(path);
}

} // namespace detect
