#include "device/model/live_frame.h"
#include "pages/custom_controls.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_keyboard_device.h"
#include "pages/devices/tessary_usb_device.h"
#include "pages/light_control_ui.h"
#include "platform/debug_output.h"
#include "shell/indexed_name.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

CDeviceKeyButtonUI* addButton(CContainerUI& panel, const wchar_t* name, const wchar_t* userData)
{
    auto* button = new CDeviceKeyButtonUI();
    button->SetName(name);
    button->SetUserData(userData);
    panel.Add(button);
    return button;
}

// A 170-key, 170-light device whose picture panel holds the given buttons.
struct Picture {
    CTessaryUSBDevice device;
    CSelectPanelUI* panel = new CSelectPanelUI();

    Picture()
    {
        device.model().setNames(L"XML\\DeviceXml\\test.xml", L"test", L"novik_light");
        device.model().setKeyCount(170);
        device.model().setLightCount(170);
        device.Add(new CButtonUI()); // not the picture
        device.Add(panel);
    }
};

} // namespace

TEST(IndexedName, SplitsAtTheLastUnderscoreAndRefusesWhatDoesNotFit)
{
    const auto key = shell::splitIndexedName(L"key_light_12");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->prefix, L"key_light_");
    EXPECT_EQ(key->number, 12);
    for (const wchar_t* bad :
         {L"key", L"key_", L"key_1a", L"key_-3", L"key_99999999999", L"key_2147483648"})
        EXPECT_FALSE(shell::splitIndexedName(bad)) << bad;
    EXPECT_EQ(shell::splitIndexedName(L"key_2147483647")->number, 2147483647);
}

TEST(BuildPicture, MapsKeysAndLightsByNameAndUserData)
{
    Picture picture;
    CDeviceKeyButtonUI* twelve = addButton(*picture.panel, L"key_12", L"light_40");
    CDeviceKeyButtonUI* five = addButton(*picture.panel, L"Key_5", L"");
    addButton(*picture.panel, L"key_200", L"light_170");
    addButton(*picture.panel, L"key_99999999999", L"light_99999999999");
    addButton(*picture.panel, L"nounderscore", L"");
    picture.device.BuildPicture();

    EXPECT_EQ(picture.device.picturePanel(), picture.panel);
    EXPECT_EQ(picture.device.keyButton(12), twelve);
    EXPECT_EQ(picture.device.lightButton(40), twelve);
    EXPECT_EQ(picture.device.keyButton(5), five);
    EXPECT_EQ(picture.device.keyButton(200), nullptr);
    EXPECT_EQ(picture.device.lightButton(170), nullptr);
    EXPECT_TRUE(twelve->isLightOverlayOn());
    EXPECT_EQ(twelve->lightColour(), 0xFFFFFFu);
    EXPECT_EQ(twelve->lightBrightness(), 255);
    EXPECT_FALSE(five->isLightOverlayOn());
    EXPECT_EQ(five->lightColour(), CDeviceKeyButtonUI::kInitialLightColour);
}

TEST(BuildPicture, NoDescriptionEmptiesThePictureAndNoPanelLeavesNullButtons)
{
    Picture picture;
    picture.device.model().setNames(L"", L"test", L"novik_light");
    picture.device.BuildPicture();
    EXPECT_EQ(picture.device.model().keyCount(), 0);
    EXPECT_EQ(picture.device.model().lightCount(), 0);

    CTessaryUSBDevice bare;
    bare.model().setNames(L"x.xml", L"test", L"novik_light");
    bare.model().setKeyCount(10);
    bare.BuildPicture();
    EXPECT_EQ(bare.picturePanel(), nullptr);
    EXPECT_EQ(bare.keyButton(3), nullptr);
    bare.SendLiveFrame(); // no buttons: nothing to show, nothing to crash on
}

TEST(DeviceObject, LiveFrameShowsEachLightOnItsButton)
{
    Picture picture;
    CDeviceKeyButtonUI* light = addButton(*picture.panel, L"key_1", L"light_7");
    picture.device.BuildPicture();
    const model::LightColour colour{0x10, 0x20, 0x30, 0x80};
    picture.device.model().SetLightColour(7, colour.word());
    EXPECT_EQ(picture.device.model().GetLightColour(7), colour.word());
    EXPECT_EQ(picture.device.model().GetLightColour(170), 0u);
    picture.device.SendLiveFrame();
    EXPECT_EQ(light->lightColour(), model::pictureColour(colour));
    EXPECT_EQ(light->lightBrightness(), 0x80);

    // While another program holds the lighting the picture stays as it is.
    (void)picture.device.model().setLightingControl(model::LightingControl::OtherProgram);
    picture.device.model().SetLightColour(7, 0);
    picture.device.SendLiveFrame();
    EXPECT_EQ(light->lightColour(), model::pictureColour(colour));
}

TEST(DeviceObject, ClassNamesAndImages)
{
    CTessaryKeyboardDevice keyboard;
    EXPECT_STREQ(keyboard.GetClass(), L"TessaryKeyboardDevice");
    EXPECT_EQ(keyboard.GetInterface(L"TessaryUSBDevice"),
              static_cast<CTessaryUSBDevice*>(&keyboard));
    EXPECT_EQ(keyboard.keyboard().keyCount(), 170);
    EXPECT_EQ(keyboard.model().folderName(), L"keyboard");

    CDeviceKeyButtonUI button;
    EXPECT_STREQ(button.GetClass(), L"DeviceKeyButton");
    button.SetAttribute(L"lightimage", L"file='light.png'");
    button.SetAttribute(L"keysetimage", L"file='set.png'");
    EXPECT_EQ(button.lightImage(), L"file='light.png'");
    EXPECT_EQ(button.keySetImage(), L"file='set.png'");
    EXPECT_TRUE(button.isKeySetImageHidden());
}

// The pages of a device page are found once: a skin without one says so once, in the trace,
// and the device carries on without it.
TEST(DeviceObject, PagesAreFoundOnceAndOneTheSkinLacksIsNamedOnce)
{
    const auto missing = [](std::wstring_view name) {
        const std::wstring line = L"page control missing from the skin: " + std::wstring(name);
        const auto lines = platform::debugLines();
        return std::count(lines.begin(), lines.end(), line);
    };
    const auto before = missing(L"LightControlItem");
    CTessaryUSBDevice device;
    EXPECT_EQ(device.lightPage(), nullptr);
    EXPECT_EQ(device.lightPage(), nullptr);
    EXPECT_EQ(missing(L"LightControlItem"), before + 1);
    device.openKeyPage(); // no tab to choose: nothing to crash on
    device.openKeyPage();
    EXPECT_EQ(device.model().GetFunctionTab(), 2);

    CTessaryUSBDevice skinned;
    auto* page = new CLightControlUI();
    page->SetName(L"LightControlItem");
    skinned.Add(page);
    EXPECT_EQ(skinned.lightPage(), page);
    EXPECT_EQ(missing(L"LightControlItem"), before + 1);
}
