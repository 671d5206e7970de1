// The mouse's own pages in the real main window, driven through the off-screen driver with the
// emulated mouse on its cable: its key page writes the mouse's key map, and its DPI page writes
// the slot record and shows what the mouse reads back.
#include "app/main_wnd_fixture.h"

#include "devsim/mouse.h"
#include "pages/devices/device_key_button_ui.h"
#include "pages/devices/tessary_mouse_device.h"
#include "pages/page_handlers.h"
#include "platform/message_queue.h"
#include "shell/main_messages.h"
#include "ui/slider_ui.h"

#include <chrono>

using namespace std::chrono_literals;
namespace record = protocol::mouse_record;

namespace {

constexpr std::size_t kForward = 3; // the forward side button's position

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

class MousePagesTest : public testing_support::MainWindowTest {
protected:
    void openWithMouse()
    {
        ASSERT_TRUE(open());
        mouse.plug(devsim::KeyboardLink::Cable);
        ASSERT_TRUE(ui().waitFor([&] { return window().activeDevice() != nullptr; }, 5s));
        ASSERT_TRUE(ui().waitFor([&] { return window().IsWindowVisible(); }));
        pages::PageHooks hooks;
        hooks.prompt = [this](const pages::PanelMessage& message, int) -> unsigned {
            prompts.emplace_back(message.textId);
            return 1;
        };
        hooks.pickColour = [](std::uint32_t) { return std::optional<std::uint32_t>(0xFF102030); };
        pages::installPageHandlers(window(), hooks);
        ASSERT_TRUE(ui().waitFor(
            [&] {
                const auto& slots = device().mouse().positionToSlot();
                return slots.size() > kForward && slots[kForward] != model::kMouseUnmapped &&
                       device().mouse().dpiScale().step != 0;
            },
            5s));
        window().ResizeClient(1500, 960);
        ui().pump();
        ui().render();
    }

    CTessaryMouseDevice& device()
    {
        return *static_cast<CTessaryMouseDevice*>(
            window().activeDevice()->page()->GetInterface(L"TessaryMouseDevice"));
    }
    CControlUI* shown(std::wstring_view name) { return ui().find(name); }
    std::wstring text(std::wstring_view name)
    {
        CControlUI* control = shown(name);
        return control ? std::wstring(control->GetText()) : std::wstring();
    }
    // A number typed into a stage's field, then the focus moving on.
    void typeDpi(int stage, const std::wstring& typed)
    {
        CControlUI* edit = shown(L"DPI_edit_" + std::to_wstring(stage));
        ASSERT_NE(edit, nullptr);
        edit->SetText(typed);
        pm().SendNotify(edit, L"killfocus");
        ui().pump();
    }
    protocol::MouseRecord held() const { return mouse.slotRecord(0); }

    devsim::Mouse mouse;
    std::vector<std::wstring> prompts;
};

} // namespace

TEST_F(MousePagesTest, AButtonOpensTheKeyPageAndItsWriteReachesTheMouseKeyMap)
{
    openWithMouse();
    ASSERT_TRUE(ui().click(L"key_" + std::to_wstring(kForward)));
    ui().render();
    CControlUI* layout = shown(L"keyset_layout");
    ASSERT_TRUE(layout && layout->IsVisible()) << "the key page opens on a click";
    CDeviceKeyButtonUI* forward = device().keyButton(int(kForward));
    ASSERT_NE(forward, nullptr);
    EXPECT_TRUE(forward->isEditing());
    EXPECT_EQ(text(L"keyset_key_name_label"),
              L"Function of " + std::wstring(forward->GetToolTipTitle()));
    EXPECT_EQ(text(L"key_butt_prosave"), L"Write to mouse");

    // The mouse offers its DPI and gun key functions; the shortcut list is row 11.
    ASSERT_TRUE(ui().select(L"keyset_function_combo", 11));
    ASSERT_TRUE(ui().select(L"keyset_combokey_combo", 4));
    ASSERT_TRUE(ui().click(L"key_butt_prosave"));
    EXPECT_TRUE(prompts.empty());
    const auto map = mouse.area(devsim::Area::KeyMap);
    const auto layoutBytes = mouse.area(devsim::Area::KeyLayout);
    const std::size_t slot = device().mouse().positionToSlot()[kForward];
    EXPECT_EQ(map[3 * slot], 0x20);
    EXPECT_EQ(map[3 * slot + 1], 0x01);
    EXPECT_EQ(map[3 * slot + 2], 0x06);
    for (std::size_t i = 0; i < 3 * devsim::kMouseKeySlotCount; ++i) {
        if (i / 3 != slot) {
            EXPECT_EQ(map[i], layoutBytes[i]) << "byte " << i;
        }
    }
    // The side button is narrow: its cap carries what fits, the tooltip the whole function.
    EXPECT_TRUE(std::wstring(forward->GetToolTip()).ends_with(L"Ctrl+C"))
        << std::wstring(forward->GetToolTip());
    EXPECT_TRUE(forward->remapLabel().starts_with(L"C"));
    EXPECT_FALSE(forward->isKeySetImageHidden());
    EXPECT_FALSE(device().pending().isUnwritten());
    shoot("mouse-keys");
}

TEST_F(MousePagesTest, DpiStagesSetOnThePageAreReadBackFromTheMouse)
{
    openWithMouse();
    ASSERT_TRUE(ui().click(L"cursor_Op_tab"));
    ui().render();
    ASSERT_NE(shown(L"DPI_slider_0"), nullptr);
    EXPECT_EQ(text(L"DPI_edit_1"), L"800") << "the page shows the profile's stages";

    typeDpi(2, L"2400");
    ASSERT_TRUE(ui().click(L"DPI_select_check_3"));
    ASSERT_TRUE(ui().click(L"DPI_enable_check_4"));
    ASSERT_TRUE(ui().click(L"report_rate_option_1"));
    ASSERT_TRUE(ui().click(L"DPI_color_option_0"));
    auto* slider = static_cast<CSliderUI*>(shown(L"DPI_slider_1")->GetInterface(L"Slider"));
    slider->SetValue(39);
    pm().SendNotify(slider, L"valuechanged");
    ui().pump();
    EXPECT_EQ(text(L"dpi_status_label"), L"Written to the mouse.");
    shoot("mouse-dpi");

    const auto record = held();
    const auto stage = [](int i) {
        return record::kDpiStages + std::size_t(i) * record::kDpiStageSize;
    };
    EXPECT_EQ(get16(record, stage(2) + 2), 2400);
    EXPECT_EQ(get16(record, stage(1) + 2), 2000) << "slider 39: base 50 + 39 steps of 50";
    EXPECT_EQ(record[record::kActiveDpiStage], 3);
    EXPECT_EQ(record[stage(4)], 0);
    EXPECT_EQ(record[record::kReportStage], 1);
    EXPECT_EQ(record[stage(0) + 6], 0x10);
    EXPECT_EQ(record[stage(0) + 8], 0x30);
    EXPECT_EQ(text(L"DPI_edit_1"), L"2000");
    EXPECT_FALSE(shown(L"DPI_select_check_4")->IsEnabled()) << "an off stage cannot be current";
    EXPECT_FALSE(device().pending().isUnwritten());

    // Text that is not a number is refused on the field: the mouse keeps its DPI.
    typeDpi(0, L"16OO");
    EXPECT_EQ(text(L"DPI_edit_0"), L"400");
    EXPECT_EQ(text(L"dpi_status_label"), L"Type the DPI as a whole number, for example 1600.");
    EXPECT_EQ(get16(held(), stage(0) + 2), 400);
}

// The DPI page's outcome line is put together from language texts: a language switch while it
// shows says it again in the new language.
TEST_F(MousePagesTest, TheDpiStatusLineFollowsALanguageSwitchAtOnce)
{
    openWithMouse();
    ASSERT_TRUE(ui().click(L"cursor_Op_tab"));
    ui().render();
    typeDpi(0, L"16OO");
    ASSERT_EQ(text(L"dpi_status_label"), L"Type the DPI as a whole number, for example 1600.");
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 1, 0);
    EXPECT_EQ(text(L"dpi_status_label"), L"请输入整数 DPI，例如 1600。");
    ui().render();
    shoot("mouse-dpi-chinese");
    platform::sendMessage(window().GetHWND(), shell::MSG_LANGUAGE_CHANGED, 0, 0);
    EXPECT_EQ(text(L"dpi_status_label"), L"Type the DPI as a whole number, for example 1600.");
}
