#include "device_model_factory.h"

#include "device/model/keyboard_model.h"
#include "device/model/mouse_model.h"

#include <cstdio>

namespace cli {

std::unique_ptr<model::UsbDeviceModel> makeDeviceModel(const DeviceStore& store,
                                                       const std::string& commandName)
{
    std::unique_ptr<model::UsbDeviceModel> device;
    if (store.kind == detect::DeviceKind::Keyboard)
        device = std::make_unique<model::KeyboardModel>();
    else if (store.kind == detect::DeviceKind::Mouse)
        device = std::make_unique<model::MouseModel>();
    if (!device) {
        std::fprintf(stderr, "halvekctl %s: %s: no device object for this kind yet\n",
                     commandName.c_str(), store.deviceName.c_str());
        return nullptr;
    }
    device->setDataRoot(store.folder.parent_path());
    device->setFactoryFolder(store.factoryFile.parent_path());
    profile::ProfileList list;
    openProfiles(store, list);
    device->setProfileBaseName(list.GetCurrentProfileId());
    return device;
}

} // namespace cli
