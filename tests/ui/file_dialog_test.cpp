#include "support/temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/list_ui.h"
#include "ui/ui_driver.h"

#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <fstream>

using testing_support::TempDir;

namespace {

struct DialogFixture : ::testing::Test {
    void SetUp() override
    {
        std::ofstream(dir / "a.mac") << "x";
        std::ofstream(dir / "b.txt") << "x";
        std::ofstream(dir / ".hidden.mac") << "x";
        std::filesystem::create_directories(dir / "sub");
        std::ofstream(dir / "sub/c.mac") << "x";
    }

    // Opens the dialog without its modal loop, so the test can drive it.
    std::unique_ptr<CFileDialogWnd> open(ui::FileDialogOptions options)
    {
        options.folder = dir.path();
        auto dialog = std::make_unique<CFileDialogWnd>(std::move(options));
        dialog->Create(nullptr, L"files", WS_VISIBLE, 0, 0, 0, 560, 400);
        return dialog;
    }

    std::vector<std::wstring> rows(CFileDialogWnd& dialog)
    {
        std::vector<std::wstring> texts;
        auto* list = dynamic_cast<CListUI*>(dialog.GetPaintManager().FindControl(L"file_list"));
        for (int i = 0; list && i < list->GetCount(); ++i)
            texts.emplace_back(list->GetItemAt(i)->GetText());
        return texts;
    }

    TempDir dir;
};

} // namespace

TEST(FileFilters, ParseBothFormsAndMatchIgnoringCase)
{
    const auto filters = ui::parseFilterString(std::wstring(L"Macro Files(*.mac)\0*.mac\0\0", 27));
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].name, L"Macro Files(*.mac)");
    EXPECT_EQ(filters[0].pattern, L"*.mac");
    const auto piped = ui::parseFilterString(L"(*.png) | *.png |(*.*)|*.*||");
    ASSERT_EQ(piped.size(), 2u);
    EXPECT_EQ(piped[1].pattern, L"*.*");
    EXPECT_TRUE(ui::matchesFilter(L"X.MAC", L"*.mac"));
    EXPECT_TRUE(ui::matchesFilter(L"a.json", L"*.mac;*.json"));
    EXPECT_FALSE(ui::matchesFilter(L"mac", L"*.mac"));
    EXPECT_TRUE(ui::matchesFilter(L"anything", L"*.*"));
}

TEST_F(DialogFixture, OpenListsFoldersAndMatchingFilesAndNeedsAnExistingFile)
{
    ui::FileDialogOptions options;
    options.filters = {{L"Macro Files(*.mac)", L"*.mac"}};
    auto dialog = open(options);
    ui::UiDriver driver(dialog->GetPaintManager());
    EXPECT_EQ(rows(*dialog), (std::vector<std::wstring>{L"[sub]", L"a.mac"}));

    driver.type(L"path_edit", L"missing.mac");
    driver.click(L"ok_btn");
    EXPECT_FALSE(dialog->result());
    EXPECT_NE(driver.find(L"error_label")->GetText().find(L"missing.mac"), std::wstring::npos);

    // Double-clicking a folder opens it; choosing a file there accepts it.
    const HWND hwnd = dialog->GetHWND();
    driver.select(L"file_list", 0);
    driver.doubleClick(L"file_list");
    auto* list = dynamic_cast<CListUI*>(driver.find(L"file_list"));
    ASSERT_NE(list, nullptr);
    driver.render();
    const RECT first = list->GetItemAt(0)->GetPos();
    driver.doubleClickAt(POINT{(first.left + first.right) / 2, (first.top + first.bottom) / 2});
    EXPECT_EQ(dialog->folder().filename(), "sub");
    ASSERT_EQ(rows(*dialog), (std::vector<std::wstring>{L"c.mac"}));
    driver.select(L"file_list", 0);
    driver.click(L"ok_btn");
    ASSERT_TRUE(dialog->result());
    EXPECT_EQ(*dialog->result(), (dir / "sub/c.mac").lexically_normal());
    driver.waitFor([&] { return !platform::isWindow(hwnd); });
}

TEST_F(DialogFixture, SaveTakesANewNameAndAddsTheDefaultExtension)
{
    ui::FileDialogOptions options;
    options.mode = ui::FileDialogOptions::Mode::Save;
    options.fileMustExist = false;
    options.defaultExtension = L"mac";
    options.filters = {{L"Macro Files(*.mac)", L"*.mac"}};
    auto dialog = open(options);
    ui::UiDriver driver(dialog->GetPaintManager());
    const HWND hwnd = dialog->GetHWND();
    driver.type(L"path_edit", L"new macro");
    driver.key(VK_RETURN);
    ASSERT_TRUE(dialog->result());
    EXPECT_EQ(dialog->result()->filename(), "new macro.mac");
    driver.waitFor([&] { return !platform::isWindow(hwnd); });
}
