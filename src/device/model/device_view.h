#pragma once

#include <cstddef>
#include <cstdint>

namespace model {

// What a device object tells the control that shows it. UI thread only; every hook may
// be left as it is by a view that does not show that part.
class DeviceView {
public:
    virtual ~DeviceView() = default;
    // A light of the picture: colour packed red | blue << 8 | green << 16.
    virtual void showLight(std::size_t light, std::uint32_t pictureColour, std::uint8_t brightness)
    {
        (void)light, (void)pictureColour, (void)brightness;
    }
    // The key list or the macro names changed: the key labels are drawn again.
    virtual void keyLabelsChanged() {}
    // Show the device's settings on its pages again.
    virtual void refreshPages() {}
    // The device's settings were read into the profile, but its file could not be saved.
    virtual void readBackNotSaved() {}
    // Whether the lighting page has a custom colour group selected.
    virtual bool isCustomGroupSelected() const { return false; }
    // The one hook called off the UI thread, by a listener: notices are waiting. Post a
    // message whose handler calls handleDeviceNotices(); never block or touch controls.
    // False when nothing was posted (the next notice tries again).
    virtual bool postDeviceNotices() { return false; }
    // The device asked to be read again: start the timer that calls SyncFromDevice. False
    // when the view has no such timer; the model then reads at once.
    virtual bool startSyncTimer() { return false; }
    // Called off the UI thread, once after the view armed lightWatch(): the light colours
    // changed. Post a message; never block or touch controls.
    virtual void lightsChanged() {}
};

} // namespace model
