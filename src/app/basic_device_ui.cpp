#include "app/basic_device_ui.h"

#include "app/command_routes.h"
#include "ui/paint_manager_ui.h"

namespace app {
namespace {

// Counts the picture's key buttons that name a key below the key count.
int countKeyButtons(CControlUI* control, int keyCount)
{
    int count = 0;
    if (std::wstring_view(control->GetClass()) == L"DeviceKeyButton") {
        const auto split = SplitIndexedName(std::wstring(control->GetName()));
        if (split && equalsNoCase(split->prefix, L"key_") && split->number < keyCount)
            ++count;
    }
    if (auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"))) {
        for (int i = 0; i < container->GetCount(); ++i)
            count += countKeyButtons(container->GetItemAt(i), keyCount);
    }
    return count;
}

} // namespace

void BasicDeviceUI::setUp(const DeviceSetup& setup, CPaintManagerUI& manager,
                          CMpDevicePowerUI* powerTile)
{
    m_setup = setup;
    m_identity = setup.identity;
    m_powerTile = powerTile;
    SetManager(&manager, nullptr, false);
}

void BasicDeviceUI::BuildPicture()
{
    m_keyButtons = m_setup.descriptionFile.empty() ? 0 : countKeyButtons(this, m_setup.keyCount);
}

} // namespace app
