#include "../app/main_wnd_fixture.h"

#include "app/msg_wnd.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/render.h"
#include "windows/skin_choice.h"
#include "windows/skin_frame.h"

#include <cstdlib>
#include <fstream>
#include <vector>

using testing_support::MainWindowTest;
using testing_support::ScopedEnvironment;
using testing_support::TempDir;

namespace {

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

TEST(SkinIniTest, KeepsTheRestOfTheFileAndReadsItsOwnKeysBack)
{
    TempDir dir;
    const auto file = dir / "main.ini";
    writeAll(file, "[OTHER]\r\nA=1\r\n[skinimage]\r\nFLAGS=7\r\nX=keep\r\n[LAST]\r\nB=2\r\n");
    const windows::SkinIni ini(file);
    ASSERT_TRUE(ini.save(1, L"common/skins/bg_2.png"));
    const std::string text = readAll(file);
    EXPECT_NE(text.find("A=1"), std::string::npos);
    EXPECT_NE(text.find("X=keep"), std::string::npos);
    EXPECT_NE(text.find("B=2"), std::string::npos);
    EXPECT_EQ(text.find("FLAGS=7"), std::string::npos);
    const auto saved = ini.load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->flags, 1);
    EXPECT_EQ(saved->image, L"common/skins/bg_2.png");
    EXPECT_EQ(ini.startImage(), L"common/skins/bg_2.png");

    // A line break in the value cannot smuggle in another key.
    ASSERT_TRUE(ini.save(0, L"a\r\nFLAGS=1"));
    EXPECT_EQ(ini.load()->flags, 0);
    EXPECT_FALSE(ini.startImage());
}

TEST(SkinIniTest, StartsOnlyFromReadyImagesInsideTheSkin)
{
    TempDir dir;
    const windows::SkinIni ini(dir / "sub" / "main.ini");
    EXPECT_FALSE(ini.load());
    for (const wchar_t* image : {L"../../etc/x.png", L"/tmp/x.png", L""}) {
        ASSERT_TRUE(ini.save(1, image));
        EXPECT_FALSE(ini.startImage()) << platform::toUtf8(image);
    }
    writeAll(ini.file(), "[SKINIMAGE]\nFLAGS=99999999999999999999\nIMAGE=common/x.png\n");
    EXPECT_FALSE(ini.startImage());
}

TEST(SkinIniTest, LeavesAFileItCannotReadAlone)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "main.ini"); // exists, cannot be read as a file
    EXPECT_FALSE(windows::SkinIni(dir / "main.ini").save(1, L"common/skins/bg_1.png"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "main.ini"));
}

class SkinFrameTest : public MainWindowTest {
protected:
    CSkinFrame* openFrame()
    {
        if (!ui().click(L"skinbtn"))
            return nullptr;
        ui().pump();
        auto* frame =
            dynamic_cast<CSkinFrame*>(ui::windowFromHandle(ui::findWindow(L"UISkinFrame")));
        if (frame)
            m_frameUi = std::make_unique<ui::UiDriver>(frame->GetPaintManager());
        return frame;
    }
    void closeFrame()
    {
        m_frameUi.reset();
        if (const HWND frame = ui::findWindow(L"UISkinFrame"))
            ui::destroyWindow(frame);
    }
    CControlUI* root() { return pm().FindControl(L"root"); }
    std::filesystem::path mainIni() { return m_dir / "data" / "main.ini"; }

    std::unique_ptr<ui::UiDriver> m_frameUi;
};

TEST_F(SkinFrameTest, ImagesColoursAndResetReachTheMainWindowAndTheFile)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openFrame());
    saveShot(*m_frameUi, "skin_frame_images.png");
    ASSERT_TRUE(m_frameUi->click(L"skin_image_btn"));
    EXPECT_EQ(std::wstring(root()->GetBkImage()), L"common/skins/bg_1.png");
    EXPECT_EQ(root()->GetBkColor(), 0u);
    EXPECT_EQ(windows::SkinIni(mainIni()).load()->flags, 1);

    ASSERT_TRUE(m_frameUi->click(L"skin_color"));
    saveShot(*m_frameUi, "skin_frame_colours.png");
    ASSERT_TRUE(m_frameUi->click(L"skin_color_btn"));
    EXPECT_EQ(std::wstring(root()->GetBkImage()), L"");
    EXPECT_EQ(root()->GetBkColor(), 0xFF0E1116u);
    // Colours are not kept; the last ready image stays the saved one.
    EXPECT_EQ(windows::SkinIni(mainIni()).load()->image, L"common/skins/bg_1.png");

    ASSERT_TRUE(m_frameUi->click(L"skin_reset"));
    EXPECT_EQ(std::wstring(root()->GetBkImage()), L"common/background.png");
    const auto saved = windows::SkinIni(mainIni()).load();
    EXPECT_EQ(saved->flags, 0);
    EXPECT_EQ(saved->image, L"common/background.png");
    closeFrame();
}

TEST_F(SkinFrameTest, OpensOwnedUnderItsButtonAtTheMainWindowsScale)
{
    // It used to open at the screen's corner, unscaled, above every program.
    ASSERT_TRUE(open(true, nullptr, false));
    pm().SetDPI(144);
    CSkinFrame* frame = openFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->GetNativeWindow()->owner(), m_window->GetNativeWindow());
    EXPECT_EQ(frame->GetPaintManager().GetDPI(), 144);
    const RECT main = m_window->GetWindowRect();
    const RECT button = ui().find(L"skinbtn")->GetPos();
    const RECT rc = frame->GetWindowRect();
    EXPECT_EQ(rc.right, main.left + button.right);
    EXPECT_EQ(rc.top, main.top + button.bottom);
    EXPECT_EQ(rc.right - rc.left, frame->GetPaintManager().Scale(304));
    closeFrame();
}

TEST_F(SkinFrameTest, TheUsersOwnImageIsShownButNotKept)
{
    ASSERT_TRUE(open(true, nullptr, false));
    std::vector<std::wstring> notices;
    // Each choice opens the frame anew: "Your image…" closes it, as its dialog takes the focus.
    const auto chooseWith = [&](CSkinFrame::FileChooser chooser) {
        CSkinFrame* frame = openFrame();
        if (!frame)
            return false;
        frame->setFileChooser(std::move(chooser));
        frame->setNotice([&](const std::wstring& text) { notices.push_back(text); });
        const bool clicked = m_frameUi->click(L"skin_Custom");
        m_frameUi.reset();
        ui().pump();
        return clicked && !ui::findWindow(L"UISkinFrame");
    };
    HWND dialogOwner = nullptr;
    ASSERT_TRUE(chooseWith([&](HWND owner) {
        dialogOwner = owner;
        return std::nullopt; // cancelled: nothing changes
    }));
    EXPECT_EQ(dialogOwner, m_window->GetHWND()) << "the frame's close must not take the dialog";
    EXPECT_EQ(root()->GetBkColor(), 0xFF0E1116u);
    // A picture that would take a gigabyte: refused from its header, with the limit named.
    const auto bomb = m_dir / "bomb.png";
    std::string header("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x3e\x80\0\0\x3e\x80\x08\x06\0\0\0", 29);
    std::ofstream(bomb, std::ios::binary) << header;
    ASSERT_TRUE(chooseWith([bomb](HWND) { return std::optional(bomb); }));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(L"16000 × 16000"), std::wstring::npos);
    EXPECT_EQ(root()->GetBkColor(), 0xFF0E1116u);

    const auto mine = m_dir / "mine.png";
    ui::Image image;
    image.width = image.height = 2;
    image.pixels.assign(4, 0xFF336699u);
    ASSERT_TRUE(ui::writePng(image, mine));
    ASSERT_TRUE(chooseWith([mine](HWND) { return std::optional(mine); }));
    EXPECT_EQ(std::wstring(root()->GetBkImage()), platform::toWide(mine));
    EXPECT_FALSE(std::filesystem::exists(mainIni()));
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(SkinFrameTest, AnOversizedPictureIsRefusedInAPromptAndNothingIsLeftOpen)
{
    // The refusal's prompt took the focus, the frame closed and freed itself in the prompt's
    // loop, and the click returned into freed memory.
    ASSERT_TRUE(open(true, nullptr, false));
    const struct {
        const char* file;
        std::string content;
        const wchar_t* told;
    } cases[] = {
        {"huge.png",
         std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30"
                     "\0\0\x75\x30\x08\x06\0\0\0",
                     29),
         L"30000 × 30000"},
        {"huge.svg",
         R"(<svg xmlns="http://www.w3.org/2000/svg" width="20000" height="20000">)"
         R"(<rect width="10" height="10"/></svg>)",
         L"20000 × 20000"},
    };
    auto& queue = platform::MessageQueue::current();
    HWND frameHandle = nullptr;
    std::wstring told;
    // Inside the prompt's loop: the frame loses the focus to it, then the user answers it.
    const HWND user = queue.createWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        if (platform::isWindow(frameHandle))
            platform::sendMessage(frameHandle, WM_KILLFOCUS, 0, 0);
        auto* prompt = dynamic_cast<CMsgWnd*>(ui::windowFromHandle(ui::findWindow(L"MsgWnd")));
        if (!prompt)
            return 0;
        told = prompt->GetPaintManager().FindControl(L"MessageText")->GetText();
        ui::UiDriver driver(prompt->GetPaintManager());
        driver.render();
        EXPECT_TRUE(driver.click(L"confirm_btn"));
        return 0;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto huge = m_dir / c.file;
        writeAll(huge, c.content);
        CSkinFrame* frame = openFrame();
        ASSERT_TRUE(frame);
        frameHandle = frame->GetHWND();
        frame->setFileChooser([&, huge](HWND) {
            platform::postMessage(user, WM_NULL, 0, 0);
            return std::optional(huge);
        });
        told.clear();
        ASSERT_TRUE(m_frameUi->click(L"skin_Custom"));
        m_frameUi.reset();
        ui().pump();
        EXPECT_NE(told.find(c.told), std::wstring::npos) << platform::toUtf8(told);
        EXPECT_EQ(ui::findWindow(L"UISkinFrame"), nullptr);
        EXPECT_EQ(ui::findWindow(L"MsgWnd"), nullptr);
        EXPECT_EQ(root()->GetBkColor(), 0xFF0E1116u);
    }
    queue.destroyWindow(user);
}

TEST_F(SkinFrameTest, YourImageOpensTheOwnFileDialogWhichOutlivesTheFrame)
{
    // The dialog was the frame's, and the frame's close on losing the focus to it took the
    // dialog along before anything could be chosen.
    ScopedEnvironment own("HALVEK_FILE_CHOOSER", std::string("own"));
    ASSERT_TRUE(open(true, nullptr, false));
    const auto mine = m_dir / "mine.png";
    ui::Image image;
    image.width = image.height = 2;
    image.pixels.assign(4, 0xFF336699u);
    ASSERT_TRUE(ui::writePng(image, mine));
    CSkinFrame* frame = openFrame();
    ASSERT_TRUE(frame);
    const HWND frameHandle = frame->GetHWND();
    auto& queue = platform::MessageQueue::current();
    constexpr UINT kLookAtTheDialog = WM_APP + 1;
    HWND dialogOwner = nullptr;
    // Inside the dialog's loop: the frame loses the focus to it; once that is handled, the
    // user picks the picture in the dialog.
    HWND user = nullptr;
    user = queue.createWindow([&](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg != kLookAtTheDialog) {
            if (platform::isWindow(frameHandle))
                platform::sendMessage(frameHandle, WM_KILLFOCUS, 0, 0);
            platform::postMessage(user, kLookAtTheDialog, 0, 0);
            return 0;
        }
        auto* dialog =
            dynamic_cast<CFileDialogWnd*>(ui::windowFromHandle(ui::findWindow(L"FileDialogWnd")));
        if (!dialog)
            return 0;
        dialogOwner = dialog->GetOwner();
        dialog->openFolder(m_dir.path());
        ui::UiDriver driver(dialog->GetPaintManager());
        driver.render();
        driver.find(L"path_edit")->SetText(L"mine.png");
        EXPECT_TRUE(driver.click(L"ok_btn"));
        return 0;
    });
    platform::postMessage(user, WM_NULL, 0, 0);
    ASSERT_TRUE(m_frameUi->click(L"skin_Custom"));
    m_frameUi.reset();
    ui().pump();
    queue.destroyWindow(user);
    EXPECT_EQ(dialogOwner, m_window->GetHWND());
    EXPECT_EQ(std::wstring(root()->GetBkImage()), platform::toWide(mine));
    EXPECT_EQ(ui::findWindow(L"UISkinFrame"), nullptr);
    EXPECT_EQ(ui::findWindow(L"FileDialogWnd"), nullptr);
}

TEST_F(SkinFrameTest, AFrameWhoseSkinCannotBeBuiltIsNotOpenedAndFreedOnce)
{
    ASSERT_TRUE(open(true, nullptr, false));
    const std::wstring resources(CPaintManagerUI::GetResourcePath());
    TempDir empty;
    CPaintManagerUI::SetResourcePath(platform::toWide(empty.path()) + L"/");
    EXPECT_EQ(CSkinFrame::Open(m_window->GetHWND(), nullptr, mainIni()), nullptr);
    CPaintManagerUI::SetResourcePath(resources);
    EXPECT_EQ(ui::findWindow(L"UISkinFrame"), nullptr);
}

TEST_F(SkinFrameTest, AReadyImageComesBackAtTheNextStart)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openFrame());
    ASSERT_TRUE(m_frameUi->click(L"skin_image_btn"));
    closeFrame();
    close();
    ASSERT_TRUE(open(true, nullptr, false));
    EXPECT_EQ(std::wstring(root()->GetBkImage()), L"common/skins/bg_1.png");
}

TEST_F(SkinFrameTest, LosingTheFocusClosesTheFrame)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openFrame());
    m_frameUi.reset();
    ui::windowFromHandle(ui::findWindow(L"UISkinFrame"))->SendMessage(WM_KILLFOCUS);
    ui().pump();
    EXPECT_EQ(ui::findWindow(L"UISkinFrame"), nullptr);
}
