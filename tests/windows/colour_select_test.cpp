#include "windows/colour_select_wnd.h"
#include "windows/colour_swatches.h"

#include "app/startup.h"
#include "platform/message_queue.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"
#include "ui/button_ui.h"
#include "ui/color_palette_ui.h"
#include "ui/paint_manager_ui.h"
#include "ui/render.h"
#include "ui/resource_manager.h"
#include "ui/ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <fstream>

using testing_support::TempDir;

namespace {

const std::filesystem::path kData = std::filesystem::path(HALVEK_SOURCE_DIR) / "data";
const std::filesystem::path kDefault = kData / "DefaultData" / "color_option_info.config";

void writeAll(const std::filesystem::path& file, std::string_view text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// Pictures of the windows for people to look at, when HALVEK_SHOTS names a folder.
[[maybe_unused]] void saveShot(ui::UiDriver& driver, const char* name)
{
    if (const char* folder = std::getenv("HALVEK_SHOTS")) {
        driver.render();
        driver.writePng(std::filesystem::path(folder) / name);
    }
}
} // namespace

TEST(ColourComponentTest, SaturatesAndClamps)
{
    EXPECT_EQ(windows::parseComponent(L"  42xyz"), 42);
    EXPECT_EQ(windows::parseComponent(L"300"), 255);
    EXPECT_EQ(windows::parseComponent(L"-5"), 0); // not 251
    EXPECT_EQ(windows::parseComponent(L"99999999999999999999999999"), 255);
    EXPECT_EQ(windows::parseComponent(L""), 0);
    EXPECT_EQ(windows::readComponentEdit(L"300", false).shown, L"255");
    EXPECT_EQ(windows::readComponentEdit(L"", false).shown, L"0");
    EXPECT_FALSE(windows::readComponentEdit(L"12", false).shown);
    EXPECT_EQ(windows::readComponentEdit(L"012", true).shown, L"12");
    EXPECT_EQ(windows::colourFromComponents(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(windows::formatColour(0xFF0A0B0C), "FF0A0B0C");
    EXPECT_EQ(windows::parseColour("ff0a0b0c"), 0xFF0A0B0Cu);
    EXPECT_FALSE(windows::parseColour("FF0A0B0C0"));
    EXPECT_FALSE(windows::parseColour("nothex"));
}

TEST(ColourSwatchFileTest, TheDefaultIsCopiedOnlyOverAMissingOrDamagedFile)
{
    TempDir dir;
    const windows::ColourSwatchFile file(dir / "u" / "color_option_info.config", kDefault);
    auto state = file.open(); // missing: the default lands in the user's folder
    EXPECT_TRUE(std::filesystem::exists(file.userFile()));
    EXPECT_EQ(state.presets[0], 0xFFFF0000u);

    writeAll(file.userFile(), "{ not json");
    state = file.open();
    EXPECT_TRUE(std::filesystem::exists(file.userFile().string() + ".corrupt"));
    EXPECT_EQ(profile::readJsonDocument(file.userFile()).state, profile::ReadState::Ok);

    // Hostile contents: short arrays, wrong types, select indices out of range.
    writeAll(file.userFile(), R"({"coloroptioninfo":{"palletDialogcollectcoloroption":
        [{"color":"FF112233","UserData":"1"}, 7, {"color":[1]}],
        "palletDialogcollectcoloroption_selectitem": 99,
        "palletDialogcoloroption_selectitem": "x"}})");
    state = file.open();
    ASSERT_TRUE(state.customs[0]);
    EXPECT_EQ(state.customs[0]->colour, 0xFF112233u);
    EXPECT_TRUE(state.customs[0]->holdsColour);
    EXPECT_FALSE(state.customs[1]);
    EXPECT_FALSE(state.customs[19]);
    EXPECT_EQ(state.customSelect, -1);
    EXPECT_EQ(state.presetSelect, -1);
}

TEST(ColourSwatchFileTest, AFileThatCannotBeReadIsNeitherReplacedNorRewritten)
{
    TempDir dir;
    const auto user = dir / "color_option_info.config";
    std::filesystem::create_directories(user); // there, but not readable as a file
    const windows::ColourSwatchFile file(user, kDefault);
    const auto state = file.open();
    EXPECT_EQ(state.presets[0], 0xFFFF0000u); // the default, in memory
    EXPECT_FALSE(file.saveCustoms(state));
    EXPECT_TRUE(std::filesystem::is_directory(user));
}

class ColourWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CPaintManagerUI::SetInstancePath(kData.wstring() + L"/");
        app::setupUiResources(kData);
        CResourceManager::GetInstance()->LoadLanguage(L"lan_en.xml");
    }
    void TearDown() override { closeWindow(); }

    void openWindow(std::uint32_t initial)
    {
        m_window = std::make_unique<CColorSelectWnd>(m_dir / "color_option_info.config", kDefault);
        ASSERT_TRUE(m_window->Create(nullptr, L"PalletDialog", WS_POPUP | WS_VISIBLE,
                                     WS_EX_TOOLWINDOW, 0, 0, 800, 572));
        m_window->SetScale(100); // not a layout DPI: becomes 96
        m_window->SetColour(initial);
        m_ui = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        m_ui->render();
        m_ui->pump();
    }
    void closeWindow()
    {
        m_ui.reset();
        if (m_window && m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
        m_window.reset();
        platform::MessageQueue::current().takeQuit();
    }
    std::wstring text(const wchar_t* name) { return std::wstring(m_ui->find(name)->GetText()); }

    TempDir m_dir;
    std::unique_ptr<CColorSelectWnd> m_window;
    std::unique_ptr<ui::UiDriver> m_ui;
};

TEST_F(ColourWindowTest, EditsBuildTheColourAndClampWhatIsTyped)
{
    openWindow(0xFF102030);
    EXPECT_EQ(text(L"color_edit_r"), L"16");
    m_ui->find(L"color_edit_g")->SetText(L"");
    ASSERT_TRUE(m_ui->type(L"color_edit_g", L"300"));
    EXPECT_EQ(text(L"color_edit_g"), L"255");
    EXPECT_EQ(m_window->GetColour(), 0xFF10FF30u);
    auto* palette = m_ui->findAs<CColorPaletteUI>(L"Pallet");
    ASSERT_TRUE(palette);
    EXPECT_EQ(m_window->GetColour() & 0xFFFFFF, palette->GetSelectColor() & 0xFFFFFF);
}

TEST_F(ColourWindowTest, OkReturnsThePickedColourAndCancelReturnsNothing)
{
    openWindow(0xFF000000);
    ASSERT_TRUE(m_ui->click(L"color_option_9"));
    EXPECT_EQ(m_window->GetColour(), 0xFF1EA7FFu);
    ASSERT_TRUE(m_ui->click(L"okbtn"));
    m_ui->pump();
    EXPECT_EQ(m_window->GetColour(), 0xFF1EA7FFu);
    EXPECT_EQ(m_window->GetHWND(), nullptr);
    // The preset choice is kept in the user's file.
    const auto stored = profile::readJsonDocument(m_dir / "color_option_info.config");
    EXPECT_EQ(stored.value["coloroptioninfo"]["palletDialogcoloroption_selectitem"].asInt(), 9);
}

TEST_F(ColourWindowTest, ACollectedColourIsThereWhenTheWindowOpensAgain)
{
    openWindow(0xFF000000);
    ASSERT_TRUE(m_ui->click(L"collect_color_option_3")); // empty: nothing but the selection
    ASSERT_TRUE(m_ui->click(L"color_option_2"));
    auto* swatch = m_ui->findAs<COptionUI>(L"collect_color_option_3");
    EXPECT_EQ(swatch->GetBkColor(), 0xFFFFB300u);
    EXPECT_EQ(std::wstring(swatch->GetUserData()), L"1");
    closeWindow();

    openWindow(0xFF000000);
    swatch = m_ui->findAs<COptionUI>(L"collect_color_option_3");
    EXPECT_EQ(swatch->GetBkColor(), 0xFFFFB300u);
    EXPECT_FALSE(swatch->IsSelected());
    ASSERT_TRUE(m_ui->click(L"collect_color_option_3"));
    EXPECT_EQ(m_window->GetColour(), 0xFFFFB300u);
    EXPECT_EQ(text(L"color_edit_g"), L"179");
    saveShot(*m_ui, "colour_window.png");
    EXPECT_EQ(m_ui->findAs<COptionUI>(L"collect_color_option_4")->GetUserData(), L"");
}

TEST_F(ColourWindowTest, AnEmptyCollectedSwatchLooksEmptyYetIsStoredAsBefore)
{
    // Empty swatches were painted white, which read as a white colour the user had kept.
    openWindow(0xFF000000);
    ASSERT_TRUE(m_ui->click(L"collect_color_option_3"));
    ASSERT_TRUE(m_ui->click(L"color_option_2")); // swatch 3 now holds a colour
    m_ui->render();
    const auto shot = m_dir / "colour.png";
    ASSERT_TRUE(m_ui->writePng(shot));
    const auto image = ui::loadPng(shot);
    ASSERT_TRUE(image);
    const auto pixelOf = [&](const wchar_t* name) {
        const RECT rc = m_ui->find(name)->GetPos();
        const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        return image->pixels[static_cast<std::size_t>(centre.y * image->width + centre.x)];
    };
    EXPECT_EQ(pixelOf(L"collect_color_option_3"), 0xFFFFB300u);
    const std::uint32_t empty = pixelOf(L"collect_color_option_4");
    EXPECT_NE(empty, 0xFFFFFFFFu);
    EXPECT_EQ(pixelOf(L"collect_color_option_19"), empty);
    const std::uint32_t brightest = std::max({empty >> 16 & 0xFF, empty >> 8 & 0xFF, empty & 0xFF});
    EXPECT_LT(brightest, 0x40u) << "an empty swatch is dark, like the window's empty fields";

    // Other programs and earlier versions read the file: an empty swatch stays white, no "1".
    const auto stored = profile::readJsonDocument(m_dir / "color_option_info.config");
    const Json::Value& customs = stored.value["coloroptioninfo"]["palletDialogcollectcoloroption"];
    EXPECT_EQ(customs[3]["color"].asString(), "FFFFB300");
    EXPECT_EQ(customs[3]["UserData"].asString(), "1");
    EXPECT_EQ(customs[4]["color"].asString(), "FFFFFFFF");
    EXPECT_EQ(customs[4]["UserData"].asString(), "");

    closeWindow();
    openWindow(0xFF000000); // read back: still empty, still drawn so
    auto* swatch = m_ui->findAs<COptionUI>(L"collect_color_option_4");
    EXPECT_EQ(std::wstring(swatch->GetUserData()), L"");
    EXPECT_NE(swatch->GetBkColor(), 0xFFFFFFFFu);
}
