#pragma once

#include "app/main_wnd.h"
#include "app/startup.h"
#include "platform/message_queue.h"
#include "platform/registered_messages.h"
#include "profile/stored_notices.h"
#include "shell/app_messages.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "ui/paint_manager_ui.h"
#include "ui/resource_manager.h"
#include "ui/ui_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A tray that can or cannot be shown; the menu it was given goes to `menu`.
class FakeTray final : public ui::TrayBackend {
public:
    explicit FakeTray(bool available, std::vector<ui::MenuItemText>* menu = nullptr)
        : m_available(available), m_menu(menu)
    {
    }
    bool show(const ui::TrayTarget&, std::wstring_view) override { return m_available; }
    void setTooltip(std::wstring_view) override {}
    void setMenu(const std::vector<ui::MenuItemText>& items) override
    {
        if (m_menu)
            *m_menu = items;
    }
    void hide() override {}
    bool hasHost() const override { return m_available; }

private:
    bool m_available;
    std::vector<ui::MenuItemText>* m_menu;
};

// The shipped skin and factory data, the user's folders in a temporary folder, and the main
// window on the off-screen backend.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::filesystem::path data = std::filesystem::path(HALVEK_SOURCE_DIR) / "data";
        CPaintManagerUI::SetInstancePath(data.wstring() + L"/");
        app::setupUiResources(data);
        shell::appMessages().instance = platform::registerMessage(L"SPhalvek2vizudi");
        // Files an earlier test set aside in this process are not this window's to tell of.
        (void)profile::takeStoredFileNotices();
    }

    void TearDown() override { close(); }

    // Opens the main window; false when it could not be made.
    bool open(bool trayAvailable = true, detect::InterfaceSource* interfaces = nullptr,
              bool startWatcher = true)
    {
        app::MainWndOptions options;
        options.interfaces = interfaces;
        options.tray = std::make_unique<FakeTray>(trayAvailable, &m_trayMenu);
        options.userDataFolder = m_dir / "data";
        options.settingsFile = m_dir / "settings.conf";
        options.startWatcher = startWatcher;
        options.audioCompanionProgram = m_companionProgram;
        options.inputHook = inputHook;
        options.answerPrompt = answerPrompt;
        options.simulated = simulated;
        m_window = std::make_unique<app::CMainWnd>(std::move(options));
        if (!m_window->Create(nullptr, L"SPhalvek2vizudi", 0x96CA0000, 0, 0, 0, 800, 572))
            return false;
        m_driver = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        m_driver->render(); // the first layout sends "windowinit"
        m_driver->pump();
        return true;
    }

    void close()
    {
        m_driver.reset();
        if (m_window && m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
        m_window.reset();
        platform::MessageQueue::current().takeQuit();
    }

    app::CMainWnd& window() { return *m_window; }
    ui::UiDriver& ui() { return *m_driver; }
    // With HALVEK_LOOK_PNG=PREFIX set, the window's frame is written to PREFIX-name.png so a
    // person can look at the page a test left behind.
    void shoot(const std::string& name)
    {
        const char* prefix = std::getenv("HALVEK_LOOK_PNG");
        if (!prefix)
            return;
        ui().pump();
        ui().render();
        EXPECT_TRUE(ui().writePng(std::string(prefix) + "-" + name + ".png"));
    }
    CPaintManagerUI& pm() { return m_window->GetPaintManager(); }
    bool visible(std::wstring_view name)
    {
        CControlUI* control = pm().FindControl(name);
        return control && control->IsVisible();
    }

    TempDir m_dir;
    // The audio companion the window launches; empty: the one beside the program.
    std::filesystem::path m_companionProgram;
    ScopedEnvironment m_data{"XDG_DATA_HOME", (m_dir / "xdg-data").string()};
    ScopedEnvironment m_config{"XDG_CONFIG_HOME", (m_dir / "xdg-config").string()};
    std::vector<ui::MenuItemText> m_trayMenu; // as the desktop's tray last got it
    std::unique_ptr<app::CMainWnd> m_window;
    std::unique_ptr<ui::UiDriver> m_driver;
    // Where the window's input hook takes its events from; empty: the desktop's.
    std::function<std::unique_ptr<platform::InputHookBackend>()> inputHook;
    // Answers the window's own prompts; empty: the modal prompt window.
    std::function<UINT(std::wstring_view textId, int buttonMode)> answerPrompt;
    // The window is told it runs against the emulated devices.
    bool simulated = false;
};

} // namespace testing_support
