#include "pages/custom_controls.h"
#include "pages/devices/device_key_button_ui.h"
#include "ui/test_window.h"
#include "ui/window_backend.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <string>
#include <vector>

using testing_support::TestWindow;

namespace {

constexpr int kColumns = 9;
constexpr int kRows = 6;
constexpr int kKeys = kColumns * kRows; // more than a frame's rectangles ever merged into one

// A device picture as the skin draws one: the body image, and keys of the skin's cap images
// with legends, on a panel that lets the user drag a selection box over them.
std::wstring pictureSkin()
{
    std::wstring keys;
    for (int i = 0; i < kKeys; ++i) {
        const int left = 10 + (i % kColumns) * 34;
        const int top = 10 + (i / kColumns) * 34;
        keys += L"<DeviceKeyButton name=\"key_" + std::to_wstring(i) + L"\" userdata=\"light_" +
                std::to_wstring(i) + L"\" float=\"true\" pos=\"" + std::to_wstring(left) + L"," +
                std::to_wstring(top) + L"," + std::to_wstring(left + 30) + L"," +
                std::to_wstring(top + 30) + L"\" text=\"" +
                (i % 3 == 0   ? L"Esc"
                 : i % 3 == 1 ? L"F" + std::to_wstring(i)
                              : L"\u4EAE") +
                L"\" textcolor=\"#FFC9D1D9\" hottextcolor=\"#FFFFFFFF\""
                L" normalimage=\"common/key/k100x100_normal.svg\""
                L" hotimage=\"common/key/k100x100_hot.svg\""
                L" lightimage=\"common/key/k100x100_light.svg\"/>";
    }
    return L"<Window><VerticalLayout bkcolor=\"#FF0D1117\">"
           L"<SelectPanel name=\"panel\" bkimage=\"common/device/keyboard_body.svg\">" +
           keys + L"</SelectPanel></VerticalLayout></Window>";
}

class KeyPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldPath = CPaintManagerUI::GetResourcePath();
        CPaintManagerUI::SetResourcePath(
            (std::filesystem::path(HALVEK_SOURCE_DIR) / "data/skin/").wstring());
    }
    void TearDown() override
    {
        close();
        CPaintManagerUI::SetResourcePath(m_oldPath);
    }
    void close()
    {
        m_keys.clear();
        m_driver.reset();
        if (m_window && m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
        m_window.reset();
    }

    // Opens the picture and lets every key's light move for a few frames, so each keeps
    // its cap.
    void open(int dpi = 96)
    {
        close();
        m_window = std::make_unique<TestWindow>(pictureSkin());
        m_window->createControl = [](const wchar_t* tag) -> CControlUI* {
            const std::wstring_view name(tag);
            if (name == L"SelectPanel")
                return new CSelectPanelUI;
            if (name == L"DeviceKeyButton")
                return new CDeviceKeyButtonUI;
            return nullptr;
        };
        ASSERT_TRUE(m_window->open(340, 240));
        m_driver = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        if (dpi != 96)
            pm().SetDPI(dpi);
        ASSERT_TRUE(ui().waitFor([&] { return framesShown() > 0; }));
        for (int i = 0; i < kKeys; ++i)
            m_keys.push_back(ui().findAs<CDeviceKeyButtonUI>(L"key_" + std::to_wstring(i)));
        for (int frame = 0; frame < 3; ++frame)
            ASSERT_TRUE(showLights(m_keys, 0x102030u * std::uint32_t(frame + 1)));
        for (CDeviceKeyButtonUI* key : m_keys) {
            ASSERT_TRUE(key->HasKeptPicture());
            // Cap, light and label are put together in one pass from here on.
            ASSERT_TRUE(key->HasKeptLayers());
        }
    }

    ui::UiDriver& ui() { return *m_driver; }
    CPaintManagerUI& pm() { return m_window->GetPaintManager(); }
    int framesShown() const { return m_window->GetFramesShown(); }
    CDeviceKeyButtonUI& key(int index) { return *m_keys[std::size_t(index)]; }

    // Gives each key its own colour from `base` and waits for the frame that shows them.
    bool showLights(const std::vector<CDeviceKeyButtonUI*>& keys, std::uint32_t base)
    {
        const int before = framesShown();
        std::uint32_t colour = base;
        for (CDeviceKeyButtonUI* key : keys) {
            colour = (colour * 7 + 0x0B1F2D) & 0xFFFFFF;
            key->setLightOverlay(colour, 200, true);
        }
        return ui().waitFor([&] { return framesShown() > before; });
    }
    std::vector<std::uint32_t> shown() const
    {
        const auto frame = m_window->GetNativeWindow()->shownFrame();
        return frame ? frame->pixels : std::vector<std::uint32_t>{};
    }
    // The same window drawn from nothing, every layer of every control.
    std::vector<std::uint32_t> drawnFresh()
    {
        const int before = framesShown();
        pm().Invalidate();
        EXPECT_TRUE(ui().waitFor([&] { return framesShown() > before; }));
        return shown();
    }

    std::unique_ptr<TestWindow> m_window;
    std::unique_ptr<ui::UiDriver> m_driver;
    std::vector<CDeviceKeyButtonUI*> m_keys;
    std::wstring m_oldPath;
};

} // namespace

TEST_F(KeyPictureTest, OneChangedLightRedrawsAndShowsOnlyItsKeyAsDrawnFresh)
{
    for (const int dpi : {96, 192}) {
        open(dpi);
        ASSERT_TRUE(showLights({&key(13)}, 0x00FF00u));
        ASSERT_EQ(pm().GetLastPresented().size(), 1u) << dpi;
        EXPECT_EQ(pm().GetLastPresented()[0], key(13).GetPos());
        const auto lightOnly = shown();
        EXPECT_EQ(lightOnly, drawnFresh()) << "dpi " << dpi;
    }
}

TEST_F(KeyPictureTest, ManyChangedLightsAreManySmallRectanglesNotOneBox)
{
    open();
    ASSERT_TRUE(showLights(m_keys, 0x445566u));
    // Each row of keys goes to the window as one strip no taller than its keys.
    const std::vector<RECT> presented = pm().GetLastPresented();
    EXPECT_EQ(presented.size(), std::size_t(kRows));
    for (const RECT& rc : presented)
        EXPECT_EQ(rc.bottom - rc.top, 30);
    for (CDeviceKeyButtonUI* key : m_keys) {
        EXPECT_TRUE(std::any_of(presented.begin(), presented.end(), [&](const RECT& rc) {
            RECT both;
            return IntersectRect(both, rc, key->GetPos()) && both == key->GetPos();
        }));
    }
    const auto lightOnly = shown();
    EXPECT_EQ(lightOnly, drawnFresh());
}

TEST_F(KeyPictureTest, WhatChangesUnderOrAboveAKeyShowsInItsNextLightFrame)
{
    open();
    // The cap under the pointer turns hot; the light frames after it keep that cap.
    ASSERT_TRUE(ui().moveTo(ui().centerOf(L"key_4")));
    ASSERT_TRUE(showLights(m_keys, 0x010203u));
    ASSERT_TRUE(showLights(m_keys, 0x030201u));
    auto lightOnly = shown();
    EXPECT_EQ(lightOnly, drawnFresh()) << "hot cap";
    ASSERT_TRUE(ui().moveTo(POINT{335, 235}));

    // A new legend (a language switch, a key reassigned).
    key(7).SetText(L"\u529F\u80FD");
    key(8).setRemapLabel({L"Macro 1"});
    ASSERT_TRUE(showLights(m_keys, 0x0A0B0Cu));
    ASSERT_TRUE(showLights(m_keys, 0x0C0B0Au));
    lightOnly = shown();
    EXPECT_EQ(lightOnly, drawnFresh()) << "new legends";

    // The selection box is drawn above the keys while the lights keep moving.
    // From the panel between the keys, so the panel takes the press.
    const POINT from{5, 5};
    const POINT to = ui().centerOf(L"key_20");
    m_window->SendMessage(WM_LBUTTONDOWN, 1, MAKELPARAM(from.x, from.y));
    m_window->SendMessage(WM_MOUSEMOVE, 1, MAKELPARAM(to.x, to.y));
    ASSERT_TRUE(showLights(m_keys, 0x203040u));
    ASSERT_TRUE(showLights(m_keys, 0x403020u));
    lightOnly = shown();
    EXPECT_EQ(lightOnly, drawnFresh()) << "selection box";
    m_window->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

TEST_F(KeyPictureTest, AScaleChangeDropsTheKeptCapsAndAStillLightKeepsNone)
{
    open();
    // The cap's pixels, the light's shape and the label's few pixels.
    const std::size_t small = key(0).keptPictureBytes();
    EXPECT_GT(small, std::size_t(30 * 30 * 4));
    EXPECT_LT(small, std::size_t(30 * 30 * 4 * 3));
    pm().SetDPI(192);
    ui().pump();
    for (CDeviceKeyButtonUI* key : m_keys)
        EXPECT_FALSE(key->HasKeptPicture()) << "kept at the old size";
    ASSERT_TRUE(showLights(m_keys, 0x332211u));
    ASSERT_TRUE(showLights(m_keys, 0x112233u));
    EXPECT_GT(key(0).keptPictureBytes(), 3 * small) << "four times the pixels";
    EXPECT_LT(key(0).keptPictureBytes(), 5 * small);
    EXPECT_EQ(shown(), drawnFresh());

    // The effect stands still: the next drawing of a key gives its memory back.
    drawnFresh();
    for (CDeviceKeyButtonUI* key : m_keys)
        EXPECT_EQ(key->keptPictureBytes(), 0u);
}

TEST_F(KeyPictureTest, ARemapLabelStaysWholeInsideItsCapAtEveryScale)
{
    for (const int dpi : {96, 192}) {
        open(dpi);
        // Lights off, so the label's accent is all that is blue on the caps.
        for (CDeviceKeyButtonUI* key : m_keys)
            key->setLightOverlay(0, 0, false);
        const std::vector<std::wstring> labels{L"Macro 1", L"Reload sequence", L"Ctrl+Alt+F12",
                                               L"\u64AD\u653E/\u6682\u505C"};
        for (std::size_t i = 0; i < labels.size(); ++i)
            key(int(i)).setRemapLabel({labels[i]});
        const std::vector<std::uint32_t> frame = drawnFresh();
        const int width = m_window->GetNativeWindow()->shownFrame()->width;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const RECT rc = key(int(i)).GetPos();
            int left = rc.right;
            int right = rc.left - 1;
            for (int y = rc.top; y < rc.bottom; ++y) {
                for (int x = rc.left; x < rc.right; ++x) {
                    const std::uint32_t pixel = frame[std::size_t(y * width + x)];
                    const int red = int(pixel >> 16 & 0xFF);
                    const int blue = int(pixel & 0xFF);
                    if (blue > 120 && blue > red + 60) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
            }
            SCOPED_TRACE(testing::Message() << "dpi " << dpi << " label " << i);
            ASSERT_LE(left, right) << "the label is drawn";
            // Cut by the cap's edge, a label runs into both edge columns.
            EXPECT_GT(left, rc.left);
            EXPECT_LT(right, rc.right - 1);
        }
    }
}
