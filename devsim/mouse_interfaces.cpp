#include "devsim/device_model.h"
#include "devsim/keyboard_interfaces.h"
#include "devsim/mouse_memory.h"

#include "device/usb_ids.h"

namespace devsim {
namespace {

// Five buttons, X, Y and the wheel, as a boot mouse reports them.
constexpr std::uint8_t kBootMouse[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, // mouse, pointer
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, // buttons 1-5
    0x95, 0x05, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x03, //
    0x81, 0x01,                                                 // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38, 0x15, 0x81, // X, Y, wheel
    0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};

} // namespace

// The mouse's composite interface carries the keyboard's four collections: the keys its
// buttons and macros send, system control, consumer control and the vendor command frames,
// so detection tells the two apart by product id alone.
const DeviceModel& mouseModel()
{
    static const DeviceModel model{
        "mouse",    usb::kMouseCableProductId, usb::kMouseReceiverProductId,
        kBootMouse, compositeDescriptor(),     mouseFactoryMemory};
    return model;
}

} // namespace devsim
