#include "../app/main_wnd_fixture.h"

#include "platform/settings_store.h"
#include "ui/combo_ui.h"
#include "windows/set_wnd.h"

#include <cstdlib>

using testing_support::MainWindowTest;

namespace {

// Pictures of the windows for people to look at, when HALVEK_SHOTS names a folder.
void saveShot(ui::UiDriver& driver, const char* name)
{
    if (const char* folder = std::getenv("HALVEK_SHOTS")) {
        driver.render();
        driver.writePng(std::filesystem::path(folder) / name);
    }
}

class SetWindowTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        m_setUi.reset();
        if (m_set && m_set->GetHWND())
            ui::destroyWindow(m_set->GetHWND());
        m_set.reset();
        MainWindowTest::TearDown();
    }
    bool openSettings(update::UpdateServiceConfig service = {})
    {
        m_set = std::make_unique<CSetWnd>(window().GetHWND(), window().languageIndex(),
                                          std::filesystem::path(HALVEK_SOURCE_DIR) / "data" /
                                              "DefaultData",
                                          service, std::vector<update::UpdateEntry>{});
        if (!m_set->Create(window().GetHWND(), L"SetWnd", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW,
                           0, 0, 630, 500))
            return false;
        m_setUi = std::make_unique<ui::UiDriver>(m_set->GetPaintManager());
        m_setUi->render();
        return true;
    }
    std::wstring setText(const wchar_t* name)
    {
        CControlUI* control = m_set->GetPaintManager().FindControl(name);
        return control ? std::wstring(control->GetText()) : L"?";
    }

    std::unique_ptr<CSetWnd> m_set;
    std::unique_ptr<ui::UiDriver> m_setUi;
};

} // namespace

TEST_F(SetWindowTest, ChoosingALanguageRetranslatesTheOpenWindowsAndIsRemembered)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_EQ(window().languageIndex(), 0); // nothing saved: the first entry, English
    ASSERT_TRUE(openSettings());
    EXPECT_EQ(setText(L"update_status_label"), L"No update service is configured");
    auto* combo = m_setUi->findAs<CComboUI>(L"Language_combox_info");
    ASSERT_TRUE(combo);
    EXPECT_EQ(combo->GetCount(), 2);
    EXPECT_EQ(combo->GetCurSel(), 0);

    ASSERT_TRUE(m_setUi->select(L"Language_combox_info", 1));
    m_setUi->pump();
    EXPECT_EQ(window().languageIndex(), 1);
    EXPECT_EQ(setText(L"update_status_label"), L"未配置更新服务");
    saveShot(*m_setUi, "settings_language_cn.png");
    ASSERT_TRUE(m_setUi->click(L"set_update_opt"));
    saveShot(*m_setUi, "settings_update_cn.png");
    ASSERT_TRUE(m_setUi->click(L"set_language_opt"));
    EXPECT_EQ(std::wstring(pm().FindControl(L"skinbtn")->GetToolTip()), L"皮肤");
    EXPECT_EQ(platform::SettingsStore(m_dir / "settings.conf").integer(L"LANGUAGE"),
              2052); // the Chinese entry's id

    ASSERT_TRUE(m_setUi->select(L"Language_combox_info", 0));
    EXPECT_EQ(setText(L"update_status_label"), L"No update service is configured");
}

TEST_F(SetWindowTest, WithoutAServiceNothingIsCheckedAndClosingStopsCleanly)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openSettings());
    EXPECT_EQ(m_set->updateRows(), 0u);
    ASSERT_TRUE(m_setUi->click(L"laterbtn"));
    m_setUi.reset();
    ui().pump();
    EXPECT_EQ(m_set->GetHWND(), nullptr);
}

TEST_F(SetWindowTest, TheCheckThreadsRecordsReachTheListThroughTheWindowsMessages)
{
    ASSERT_TRUE(open(true, nullptr, false));
    update::UpdateServiceConfig service;
    service.baseUrl = L"https://127.0.0.1:9/api/"; // nothing listens there: no answer
    m_set = std::make_unique<CSetWnd>(
        window().GetHWND(), 0, std::filesystem::path(HALVEK_SOURCE_DIR) / "data" / "DefaultData",
        service, update::buildEntries({}, update::applicationVersion()));
    ASSERT_TRUE(m_set->Create(window().GetHWND(), L"SetWnd", WS_POPUP | WS_VISIBLE,
                              WS_EX_TOOLWINDOW, 0, 0, 630, 500));
    m_setUi = std::make_unique<ui::UiDriver>(m_set->GetPaintManager());
    EXPECT_TRUE(m_setUi->waitFor(
        [&] { return setText(L"update_status_label") == L"The update service did not answer"; }));
    EXPECT_EQ(m_set->updateRows(), 1u);
}
