// The system's open and save dialog, driven the way a user would: it is found by its title,
// given a name and confirmed. Without a display (Wine with no X server) no dialog shows, and
// the tests say so and skip, unless HALVEK_FILE_DIALOG_REQUIRED is set, as the ctest case
// run under a virtual display sets it.

#include "platform/desktop_file_chooser.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <windows.h>
// The dialog's control ids come after windows.h.
#include <dlgs.h>

using namespace std::chrono_literals;
using testing_support::TempDir;

namespace {

platform::FileChoiceRequest exportMacro(const std::filesystem::path& folder)
{
    platform::FileChoiceRequest request;
    request.mode = platform::FileChoiceRequest::Mode::Save;
    request.title = L"Export macro 导出宏";
    request.filters = {{L"Macro Files(*.mac)", {L"*.mac"}}, {L"All files", {L"*.*"}}};
    request.folder = folder;
    request.fileName = L"macro 1";
    return request;
}

// The dialog is the chooser thread's top-level window with the request's title.
HWND dialogTitled(const std::wstring& title)
{
    struct Search {
        const std::wstring* title;
        HWND found = nullptr;
    } search{&title};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* wanted = reinterpret_cast<Search*>(context);
            wchar_t text[512] = {};
            GetWindowTextW(window, text, 512);
            if (*wanted->title != text)
                return TRUE;
            wanted->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The name field: a combo box on newer dialogs, an edit on older ones.
HWND nameField(HWND dialog)
{
    if (HWND combo = GetDlgItem(dialog, cmb13))
        return combo;
    return GetDlgItem(dialog, edt1);
}

std::wstring textOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Starts the request and finds its dialog; null (the test then skips, or fails where a display
// is promised) when the dialog cannot be shown here.
HWND openDialog(platform::DesktopFileChooser& chooser, const platform::FileChoiceRequest& request,
                std::promise<void>& done)
{
    HWND dialog = chooser.start(request, [&done] { done.set_value(); })
                      ? dialogTitled(request.title)
                      : nullptr;
    if (!dialog && std::getenv("HALVEK_FILE_DIALOG_REQUIRED"))
        ADD_FAILURE() << "the system dialog did not show: " << chooser.result().why;
    return dialog;
}

} // namespace

TEST(WindowsFileDialog, SavingShowsTitleFolderAndNameAndTakesTheNameTyped)
{
    TempDir dir;
    const auto request = exportMacro(dir.path());
    platform::DesktopFileChooser chooser;
    std::promise<void> done;
    const HWND dialog = openDialog(chooser, request, done);
    if (!dialog)
        GTEST_SKIP() << "no display for the system dialog";
    const HWND name = nameField(dialog);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(textOf(name), L"macro 1");
    SetWindowTextW(name, L"typed 名");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    const platform::FileChoice choice = chooser.result();
    ASSERT_EQ(choice.outcome, platform::FileChoiceOutcome::Chosen) << choice.why;
    EXPECT_EQ(choice.file.filename().wstring(), L"typed 名");
    std::error_code error;
    EXPECT_TRUE(std::filesystem::equivalent(choice.file.parent_path(), dir.path(), error))
        << "it started in the request's folder: " << choice.file.string();
}

TEST(WindowsFileDialog, ACancelIsACancelAndAWithdrawnRequestClosesItsDialog)
{
    TempDir dir;
    auto request = exportMacro(dir.path());
    request.mode = platform::FileChoiceRequest::Mode::Open;
    request.title = L"Import macro";
    {
        platform::DesktopFileChooser chooser;
        std::promise<void> done;
        const HWND dialog = openDialog(chooser, request, done);
        if (!dialog)
            GTEST_SKIP() << "no display for the system dialog";
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
        EXPECT_EQ(chooser.result().outcome, platform::FileChoiceOutcome::Cancelled);
    }
    bool told = false;
    {
        platform::DesktopFileChooser chooser;
        ASSERT_TRUE(chooser.start(request, [&told] { told = true; }));
        ASSERT_NE(dialogTitled(request.title), nullptr);
    }
    EXPECT_EQ(dialogTitled(request.title), nullptr) << "the dialog went with its request";
    EXPECT_FALSE(told) << "a withdrawn request tells nobody";
}
