#include "main_wnd_fixture.h"

#include "app/device_option_ui.h"
#include "device/model/keyboard_model.h"
#include "devsim/keyboard.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_usb_device.h"

#include <chrono>

using namespace std::chrono_literals;
using testing_support::MainWindowTest;

namespace {

// The main window with the emulated keyboard on its cable, chosen and on show.
class LiveFrameTimerTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_TRUE(open());
        m_keyboard.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        m_device = dynamic_cast<CTessaryUSBDevice*>(window().activeDevice()->page());
        ASSERT_NE(m_device, nullptr);
        m_model = dynamic_cast<model::KeyboardModel*>(&m_device->model());
        ASSERT_NE(m_model, nullptr);
        // The device has started and the factory profile's effect moves: the tile shows it.
        ASSERT_TRUE(ui().waitFor(
            [&] {
                return m_device->lightButton(0)->isLightOverlayOn() &&
                       m_model->lightWatch().changes() > 0;
            },
            5s));
    }

    devsim::Keyboard m_keyboard;
    CTessaryUSBDevice* m_device = nullptr;
    model::KeyboardModel* m_model = nullptr;
};

} // namespace

TEST_F(LiveFrameTimerTest, AStandingEffectLeavesNoTimerAndAMovingOneWakesTheTile)
{
    model::EffectSettings still;
    still.mode = 6; // one colour, painted again at every step
    still.brightness = 4;
    still.red = 200;
    m_model->setEffectSettings(still);
    EXPECT_TRUE(ui().waitFor([&] { return pm().GetTimerCount() == 0; }, 5s))
        << pm().GetTimerCount() << " control timers still set";

    model::EffectSettings moving = still;
    moving.mode = 4; // the colour wheel, a step every tick at speed 4
    moving.speed = 4;
    const auto shown = m_model->lightWatch().changes();
    const std::uint32_t stillColour = m_device->lightButton(0)->lightColour();
    m_model->setEffectSettings(moving);
    // Each change wakes the tile once: the key keeps taking new colours.
    std::uint32_t seen = stillColour;
    int colours = 0;
    EXPECT_TRUE(ui().waitFor(
        [&] {
            const std::uint32_t now = m_device->lightButton(0)->lightColour();
            if (now != seen) {
                seen = now;
                ++colours;
            }
            return m_model->lightWatch().changes() > shown + 2 && colours >= 3;
        },
        5s))
        << colours << " colours shown";
}

TEST_F(LiveFrameTimerTest, OneChangedLightIsShownWithoutTheWholeWindow)
{
    // Without its lighting thread the keyboard's colours stand still.
    m_model->lightingThread().stop();
    ASSERT_TRUE(ui().waitFor([&] { return pm().GetTimerCount() == 0; }, 5s));
    CDeviceKeyButtonUI* key = m_device->lightButton(5);
    ASSERT_NE(key, nullptr);
    const std::uint32_t shown = key->lightColour();
    const int framesBefore = window().GetFramesShown();
    m_model->SetLightColour(5, m_model->GetLightColour(5) ^ 0x00FF00FFu);
    // The sleeping tile is woken and the key takes its new colour, shown at the picture's
    // next paced frame.
    ASSERT_TRUE(ui().waitFor([&] { return key->lightColour() != shown; }, 5s));
    const auto keyShown = [&] {
        if (window().GetFramesShown() == framesBefore)
            return false;
        for (const RECT& rc : pm().GetLastPresented()) {
            RECT both;
            if (IntersectRect(both, rc, key->GetPos()) && both == key->GetPos())
                return true;
        }
        return false;
    };
    ASSERT_TRUE(ui().waitFor(keyShown, 5s));
    const RECT all{0, 0, pm().GetClientSize().cx, pm().GetClientSize().cy};
    for (const RECT& rc : pm().GetLastPresented())
        EXPECT_NE(rc, all) << "a whole frame for one key";
    EXPECT_TRUE(ui().waitFor([&] { return pm().GetTimerCount() == 0; }, 5s));
}

TEST_F(LiveFrameTimerTest, AChangeIsShownInOneFrameAfterWhichTheTileSleepsAtOnce)
{
    m_model->lightingThread().stop();
    ASSERT_TRUE(ui().waitFor([&] { return pm().GetTimerCount() == 0; }, 5s));
    CDeviceKeyButtonUI* key = m_device->lightButton(7);
    ASSERT_NE(key, nullptr);
    for (int change = 0; change < 4; ++change) {
        const std::uint32_t shown = key->lightColour();
        m_model->SetLightColour(7, m_model->GetLightColour(7) ^ 0x000040FFu);
        // The frame that shows the change leaves no timer behind: a timer after every
        // frame came back once more to find nothing new.
        ASSERT_TRUE(ui().waitFor([&] { return key->lightColour() != shown; }, 5s));
        EXPECT_EQ(pm().GetTimerCount(), 0u) << "change " << change;
    }
    // Changes closer together than the link's period all reach the picture, the last one
    // included, and the tile sleeps after.
    const std::uint32_t before = key->lightColour();
    for (int change = 0; change < 20; ++change)
        m_model->SetLightColour(7, m_model->GetLightColour(7) ^ ((change + 1u) << 8));
    ASSERT_TRUE(ui().waitFor([&] { return key->lightColour() != before; }, 5s));
    for (int change = 0; change < 3; ++change) {
        const std::uint32_t shown = key->lightColour();
        m_model->SetLightColour(7, m_model->GetLightColour(7) ^ 0x00400000u);
        ASSERT_TRUE(ui().waitFor([&] { return key->lightColour() != shown; }, 5s));
    }
    EXPECT_TRUE(ui().waitFor([&] { return pm().GetTimerCount() == 0; }, 5s));
}
