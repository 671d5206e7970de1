#include "../app/main_wnd_fixture.h"

#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "shell/app_messages.h"
#include "support/test_service.h"
#include "ui/combo_ui.h"
#include "update/update_time.h"
#include "update/updater.h"
#include "windows/set_wnd.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <unistd.h>

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

// The updater's cache and runtime folders inside the test's folder, and no proxy.
struct ScratchUpdateFolders {
    explicit ScratchUpdateFolders(const std::filesystem::path& dir)
        : cache("XDG_CACHE_HOME", (dir / "cache").string()),
          runtime("XDG_RUNTIME_DIR", (dir / "runtime").string()), proxy("https_proxy", std::nullopt)
    {
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
    }
    testing_support::ScopedEnvironment cache;
    testing_support::ScopedEnvironment runtime;
    testing_support::ScopedEnvironment proxy;
};

// The running program's end of the updater's reports: each goes on to `target` as the main
// window passes it on, after `observe` has seen it.
class UpdaterReportRelay {
public:
    explicit UpdaterReportRelay(const std::atomic<HWND>& target,
                                std::function<void(const platform::IpcMessage&)> observe = {})
        : m_target(target), m_observe(std::move(observe))
    {
        if (const auto folder = platform::instanceRuntimeFolder()) {
            m_endpoint = std::make_unique<platform::IpcEndpoint>(*folder, L"MainWnd");
            m_started = static_cast<bool>(
                m_endpoint->startReceiving([this](platform::IpcMessage&& message) {
                    if (m_observe)
                        m_observe(message);
                    if (const HWND hwnd = m_target.load())
                        platform::postMessage(hwnd, shell::appMessages().guid[0],
                                              static_cast<WPARAM>(message.wParam),
                                              static_cast<LPARAM>(message.lParam));
                }));
        }
    }
    bool started() const { return m_started; }
    void stop()
    {
        if (m_endpoint)
            m_endpoint->stopReceiving();
    }

private:
    const std::atomic<HWND>& m_target;
    std::function<void(const platform::IpcMessage&)> m_observe;
    std::unique_ptr<platform::IpcEndpoint> m_endpoint;
    bool m_started = false;
};

update::UpdateServiceConfig serviceConfig(const testing_support::TestService& service)
{
    update::UpdateServiceConfig config;
    config.baseUrl = platform::fromUtf8(service.url("/api/"));
    config.extraCaFile = testing_support::testCertificates() / "ca.pem";
    return config;
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
    // The settings window in English with these update entries, running the real updater.
    bool openUpdateTab(const update::UpdateServiceConfig& service,
                       std::vector<update::UpdateEntry> entries)
    {
        m_set = std::make_unique<CSetWnd>(window().GetHWND(), 0,
                                          std::filesystem::path(HALVEK_SOURCE_DIR) / "data" /
                                              "DefaultData",
                                          service, std::move(entries));
        m_set->setUpdaterProgram(std::filesystem::path(HALVEK_BINARY_DIR) / "halvek-update");
        if (!m_set->Create(window().GetHWND(), L"SetWnd", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW,
                           0, 0, 630, 500))
            return false;
        m_setUi = std::make_unique<ui::UiDriver>(m_set->GetPaintManager());
        return true;
    }
    CControlUI* listRow(int index)
    {
        auto* list = dynamic_cast<CListUI*>(
            m_set->GetPaintManager().FindControl(L"device_update_list_info"));
        return list && index < list->GetCount() ? list->GetItemAt(index) : nullptr;
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
    ASSERT_TRUE(openUpdateTab(service, update::buildEntries({}, update::applicationVersion())));
    EXPECT_TRUE(m_setUi->waitFor(
        [&] { return setText(L"update_status_label") == L"The update service did not answer"; }));
    EXPECT_EQ(m_set->updateRows(), 1u);
}

TEST_F(SetWindowTest, TheServiceAddressIsRefusedInWordsOrSavedAndAskedAtOnce)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openUpdateTab({}, update::buildEntries({}, update::applicationVersion())));
    const auto settings = m_dir / "updates.conf";
    m_set->setSettingsFile(settings);
    ASSERT_TRUE(m_setUi->click(L"set_update_opt"));
    m_setUi->render();
    EXPECT_EQ(setText(L"update_status_label"), L"No update service is configured");
    CControlUI* edit = m_set->GetPaintManager().FindControl(L"update_service_edit");
    ASSERT_NE(edit, nullptr);
    const std::pair<std::wstring, std::wstring> refused[] = {
        {L"updates.example/api/", L"The address must start with https:// or http://."},
        {L"https://up dates.example/", L"The address cannot hold spaces."},
        {L"https:///api/", L"The address needs a server name after the ://."}};
    for (const auto& [typed, words] : refused) {
        edit->SetText(typed);
        ASSERT_TRUE(m_setUi->click(L"update_service_save"));
        EXPECT_EQ(setText(L"update_service_message"), words);
        EXPECT_EQ(platform::SettingsStore(settings).text(update::kBaseUrlSetting), std::nullopt);
        EXPECT_EQ(m_set->updateRows(), 0u);
    }
    // Taken without the blanks around it, kept, and asked at once.
    edit->SetText(L"  https://127.0.0.1:9/api/ ");
    ASSERT_TRUE(m_setUi->click(L"update_service_save"));
    EXPECT_EQ(setText(L"update_service_message"), L"Saved.");
    EXPECT_EQ(platform::SettingsStore(settings).text(update::kBaseUrlSetting),
              L"https://127.0.0.1:9/api/");
    EXPECT_EQ(setText(L"update_service_edit"), L"https://127.0.0.1:9/api/");
    EXPECT_TRUE(m_setUi->waitFor(
        [&] { return setText(L"update_status_label") == L"The update service did not answer"; }));
    EXPECT_EQ(m_set->updateRows(), 1u);
    // Emptied: no service again.
    edit->SetText(L"");
    ASSERT_TRUE(m_setUi->click(L"update_service_save"));
    EXPECT_EQ(platform::SettingsStore(settings).text(update::kBaseUrlSetting), std::nullopt);
    EXPECT_EQ(setText(L"update_status_label"), L"No update service is configured");
}

// The whole update tab against a local service: the keyboard's newer firmware is listed,
// downloaded through halvek-update with its progress in the row, and lands inside the
// update folder at the size the service gave, whatever name the service chose.
TEST_F(SetWindowTest, AnOfferedUpdateIsDownloadedWithProgressIntoTheUpdateFolder)
{
    if (!testing_support::testServiceAvailable())
        GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
    constexpr std::uint64_t kSize = 300000;
    const ScratchUpdateFolders folders(m_dir.path());

    const auto answer = m_dir / "answer.json";
    auto service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
        "https", "--certs", testing_support::testCertificates().string(), "--answer",
        answer.string(), "--file-size", std::to_string(kSize)});
    ASSERT_NE(service->port(), 0);
    std::ofstream(answer) << R"({"name": "..\\..\\x", "version": "0103", "version_name": "1.3",)"
                          << R"( "device_id": 7, "size": )" << kSize << R"(, "path": ")"
                          << service->url("/file") << "\"}";

    // The updater's reports reach the window as the main window passes them on.
    shell::appMessages().guid[0] = platform::registerMessage(shell::kGuidMessageNames[0]);
    std::atomic<int> progressReports{0};
    std::atomic<std::int64_t> lastProgress{-1};
    std::atomic<HWND> target{nullptr};
    UpdaterReportRelay relay(target, [&](const platform::IpcMessage& message) {
        if (message.wParam == static_cast<std::uint64_t>(update::UpdaterEvent::Progress)) {
            ++progressReports;
            lastProgress = message.lParam;
        }
    });
    ASSERT_TRUE(relay.started());

    ASSERT_TRUE(open(true, nullptr, false));
    update::UpdateServiceConfig config = serviceConfig(*service);
    config.lastCheckFolder = m_dir / "lastcheck";
    // Tile 0 is a mouse that is not there, tile 1 the keyboard with firmware 0x0102.
    const std::vector<update::DeviceTile> tiles{{update::DeviceKind::Mouse, false, 0},
                                                {update::DeviceKind::Keyboard, true, 0x0102}};
    ASSERT_TRUE(openUpdateTab(config, update::buildEntries(tiles, 0)));
    target = m_set->GetHWND();
    ASSERT_TRUE(m_setUi->waitFor(
        [&] { return setText(L"update_status_label") == L"Updates are available"; },
        std::chrono::seconds(20)));
    ASSERT_EQ(m_set->updateRows(), 1u);
    const auto& item = m_set->updateList().items()[0];
    EXPECT_TRUE(item.ticked);
    EXPECT_EQ(item.record.localFile, L"x.exe");
    EXPECT_EQ(setText(L"OldRev"), L"V0102");
    EXPECT_EQ(setText(L"updateRev"), L"V0103");
    EXPECT_EQ(setText(L"update_status_text"), L"Update available");
    EXPECT_TRUE(update::readLastCheckDate(m_dir / "lastcheck"));
    ASSERT_TRUE(m_setUi->click(L"set_update_opt"));
    saveShot(*m_setUi, "settings_update_found.png");
    // Unticked, there is nothing to update; ticked again, there is.
    ASSERT_TRUE(m_setUi->click(L"check_name_select"));
    EXPECT_FALSE(m_set->updateList().anyTicked());
    EXPECT_FALSE(m_set->GetPaintManager().FindControl(L"update_fw_and_ap")->IsVisible());
    m_setUi->render();
    ASSERT_TRUE(m_setUi->click(L"check_name_select"));
    EXPECT_TRUE(m_set->updateList().anyTicked());
    m_setUi->render();

    ASSERT_TRUE(m_setUi->click(L"update_fw_and_ap"));
    m_setUi->render();
    ASSERT_TRUE(m_setUi->click(L"update_OK_btn"));
    EXPECT_FALSE(m_set->updateList().canClose());
    // Closing is refused while the download runs.
    platform::postMessage(m_set->GetHWND(), WM_CLOSE, 0, 0);
    m_setUi->pump();
    ASSERT_NE(m_set->GetHWND(), nullptr);
    bool shotTaken = false;
    ASSERT_TRUE(m_setUi->waitFor(
        [&] {
            const auto state = m_set->updateList().items()[0].state;
            if (state == update::ItemState::Downloading && !shotTaken) {
                shotTaken = true;
                saveShot(*m_setUi, "settings_update_downloading.png");
            }
            return state == update::ItemState::Done;
        },
        std::chrono::seconds(25)));
    EXPECT_GT(progressReports.load(), 0);
    EXPECT_EQ(lastProgress.load(), 100);
    EXPECT_EQ(setText(L"OldRev"), L"V0103");
    EXPECT_EQ(setText(L"update_status_label"),
              std::wstring(L"Everything is up to date  ") + update::todayCheckDate());
    auto* where = m_set->GetPaintManager().FindControl(L"update_folder_label");
    ASSERT_TRUE(where);
    EXPECT_TRUE(where->IsVisible());
    saveShot(*m_setUi, "settings_update_done.png");

    const auto file = m_dir / "cache" / "SPhalvek2vizudi" / "UpdateData" / "x.exe";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), kSize);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "cache" / "x.exe"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.exe"));
    EXPECT_TRUE(m_set->updateList().canClose());
    target = nullptr;
    relay.stop();
}

// A service that fails, answers garbage or answers too much: the tab and the row say the
// check failed, with the reason on the row, and nothing reads as "up to date".
TEST_F(SetWindowTest, AFailedCheckSaysSoInItsRowNeverUpToDate)
{
    if (!testing_support::testServiceAvailable())
        GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
    const auto answer = m_dir / "answer.json";
    auto service = std::make_unique<testing_support::TestService>(
        std::vector<std::string>{"https", "--certs", testing_support::testCertificates().string(),
                                 "--answer", answer.string()});
    ASSERT_NE(service->port(), 0);
    ASSERT_TRUE(open(true, nullptr, false));
    struct Case {
        const char* answer;
        const char* base;
        const char* said;
    };
    for (const Case& c : {Case{R"({"version":"0103"})", "/api/status500/", "status 500"},
                          Case{R"({"name":5,"path":[1],"version":{}})", "/api/", "not a string"},
                          Case{"", "/api/big/", ""}}) {
        std::ofstream(answer, std::ios::trunc) << c.answer;
        update::UpdateServiceConfig config = serviceConfig(*service);
        config.baseUrl = platform::fromUtf8(service->url(c.base));
        const std::vector<update::DeviceTile> tiles{{update::DeviceKind::Mouse, false, 0},
                                                    {update::DeviceKind::Keyboard, true, 0x0102}};
        ASSERT_TRUE(openUpdateTab(config, update::buildEntries(tiles, 0)));
        ASSERT_TRUE(m_setUi->waitFor(
            [&] { return setText(L"update_status_label") == L"The update service did not answer"; },
            std::chrono::seconds(20)))
            << c.base << " " << c.answer << ": "
            << platform::toUtf8(setText(L"update_status_label"));
        ASSERT_EQ(m_set->updateRows(), 1u);
        EXPECT_TRUE(m_set->updateList().items()[0].record.checkFailed);
        EXPECT_EQ(setText(L"update_status_text"), L"Not checked") << c.base << " " << c.answer;
        EXPECT_EQ(setText(L"OldRev"), L"V0102");
        const auto* row = listRow(0);
        ASSERT_TRUE(row);
        EXPECT_NE(platform::toUtf8(std::wstring(row->GetToolTip())).find(c.said), std::string::npos)
            << platform::toUtf8(std::wstring(row->GetToolTip()));
        EXPECT_FALSE(m_set->GetPaintManager().FindControl(L"update_fw_and_ap")->IsVisible());
        if (std::string_view(c.base) == "/api/status500/") {
            ASSERT_TRUE(m_setUi->click(L"set_update_opt"));
            saveShot(*m_setUi, "settings_update_check_failed.png");
        }
        m_setUi.reset();
        ui::destroyWindow(m_set->GetHWND());
        m_set.reset();
    }
}

// One row answered and nothing is newer, one refused: the summary names the refused row and
// shows no tick; the row says it was not checked.
TEST_F(SetWindowTest, ARowThatFailedAmongAnsweredOnesIsNamedNeverUpToDate)
{
    if (!testing_support::testServiceAvailable())
        GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
    const auto answer = m_dir / "answer.json";
    std::ofstream(answer) << R"({"version":"0101"})";
    testing_support::TestService service({"https", "--certs",
                                          testing_support::testCertificates().string(), "--answer",
                                          answer.string()});
    ASSERT_NE(service.port(), 0);
    ASSERT_TRUE(open(true, nullptr, false));
    update::UpdateServiceConfig config = serviceConfig(service);
    config.baseUrl = platform::fromUtf8(service.url("/api/fail-KB/"));
    const std::vector<update::DeviceTile> tiles{{update::DeviceKind::Mouse, true, 0x0102},
                                                {update::DeviceKind::Keyboard, true, 0x0102}};
    ASSERT_TRUE(openUpdateTab(config, update::buildEntries(tiles, 0)));
    ASSERT_TRUE(m_setUi->waitFor(
        [&] {
            return setText(L"update_status_label") == L"Not checked: KB. The rest is up to date";
        },
        std::chrono::seconds(20)))
        << platform::toUtf8(setText(L"update_status_label"));
    EXPECT_FALSE(m_set->GetPaintManager().FindControl(L"update_status_image")->IsVisible());
    ASSERT_EQ(m_set->updateRows(), 2u);
    EXPECT_FALSE(m_set->updateList().items()[0].record.checkFailed);
    EXPECT_TRUE(m_set->updateList().items()[1].record.checkFailed);
}

TEST_F(SetWindowTest, ReportsWithNoItemBeingUpdatedAreIgnored)
{
    ASSERT_TRUE(open(true, nullptr, false));
    ASSERT_TRUE(openSettings());
    shell::appMessages().guid[0] = platform::registerMessage(shell::kGuidMessageNames[0]);
    for (const WPARAM event : {1, 2, 4})
        platform::postMessage(m_set->GetHWND(), shell::appMessages().guid[0], event, 250);
    m_setUi->pump();
    EXPECT_EQ(m_set->updateRows(), 0u);
    EXPECT_EQ(setText(L"update_status_label"), L"No update service is configured");
}

namespace {

// The halvek-update this test process started, or 0.
pid_t runningUpdater()
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text))
            continue;
        const auto open = text.find('(');
        const auto close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos ||
            text.substr(open + 1, close - open - 1) != "halvek-update")
            continue;
        int parent = 0;
        char state = 0;
        // An earlier test's updater may linger unreaped; only a live one is the download's.
        if (std::sscanf(text.c_str() + close + 2, "%c %d", &state, &parent) == 2 &&
            parent == ::getpid() && state != 'Z' && state != 'X')
            return static_cast<pid_t>(std::stoi(entry.path().filename().string()));
    }
    return 0;
}

} // namespace

// A download cut off by a killed updater fails its row (never "done"); the next try
// continues from what arrived and ends with the whole file.
TEST_F(SetWindowTest, AKilledDownloadFailsItsRowAndTheNextTryResumes)
{
    if (!testing_support::testServiceAvailable())
        GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
    constexpr std::uint64_t kSize = 300000;
    const ScratchUpdateFolders folders(m_dir.path());
    const auto answer = m_dir / "answer.json";
    const auto log = m_dir / "requests.log";
    auto service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
        "https", "--certs", testing_support::testCertificates().string(), "--answer",
        answer.string(), "--log", log.string(), "--file-size", std::to_string(kSize)});
    ASSERT_NE(service->port(), 0);
    // Without a range the file stops after half and hangs; with one it comes whole.
    std::ofstream(answer) << R"({"name": "fw", "version": "0103", "size": )" << kSize
                          << R"(, "path": ")" << service->url("/stallfile") << "\"}";

    shell::appMessages().guid[0] = platform::registerMessage(shell::kGuidMessageNames[0]);
    std::atomic<HWND> target{nullptr};
    UpdaterReportRelay relay(target);
    ASSERT_TRUE(relay.started());

    ASSERT_TRUE(open(true, nullptr, false));
    update::UpdateServiceConfig config = serviceConfig(*service);
    const std::vector<update::DeviceTile> tiles{{update::DeviceKind::Mouse, true, 0x0102}};
    ASSERT_TRUE(openUpdateTab(config, update::buildEntries(tiles, 0)));
    target = m_set->GetHWND();
    ASSERT_TRUE(m_setUi->waitFor(
        [&] { return setText(L"update_status_label") == L"Updates are available"; },
        std::chrono::seconds(20)));
    auto startUpdate = [&] {
        ASSERT_TRUE(m_setUi->click(L"update_fw_and_ap"));
        m_setUi->render();
        ASSERT_TRUE(m_setUi->click(L"update_OK_btn"));
    };
    startUpdate();
    const auto part = m_dir / "cache" / "SPhalvek2vizudi" / "UpdateData" / "fw.exe.part";
    std::error_code error;
    ASSERT_TRUE(
        m_setUi->waitFor([&] { return std::filesystem::file_size(part, error) == kSize / 2; },
                         std::chrono::seconds(20)));
    const pid_t updater = runningUpdater();
    ASSERT_GT(updater, 0);
    ::kill(updater, SIGKILL);
    ASSERT_TRUE(m_setUi->waitFor(
        [&] { return m_set->updateList().items()[0].state == update::ItemState::Failed; },
        std::chrono::seconds(10)));
    EXPECT_EQ(setText(L"update_status_text"), L"Download failed");
    EXPECT_TRUE(m_set->updateList().canClose());

    m_setUi->render();
    startUpdate();
    ASSERT_TRUE(m_setUi->waitFor(
        [&] { return m_set->updateList().items()[0].state == update::ItemState::Done; },
        std::chrono::seconds(20)));
    const auto file = m_dir / "cache" / "SPhalvek2vizudi" / "UpdateData" / "fw.exe";
    EXPECT_EQ(std::filesystem::file_size(file, error), kSize);
    const auto requests = testing_support::readLines(log);
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const std::string& line) {
        return line == "GET /stallfile range=bytes=" + std::to_string(kSize / 2) + "-";
    }));
    target = nullptr;
    relay.stop();
}

TEST(SetWindowPlacement, SitsInsideTheMainWindowsTopRightCornerAtTheWindowsScale)
{
    const RECT main{100, 50, 1100, 690};
    const RECT window{0, 0, 630, 500};
    const RECT atOne = besideMainWindow(main, window, 96);
    EXPECT_EQ(atOne.right, 1070);
    EXPECT_EQ(atOne.left, 440);
    EXPECT_EQ(atOne.top, 110);
    EXPECT_EQ(atOne.bottom, 610);
    // At twice the scale the insets double; the window keeps the size it was given.
    const RECT atTwo = besideMainWindow(main, RECT{0, 0, 1260, 1000}, 192);
    EXPECT_EQ(atTwo.right, 1040);
    EXPECT_EQ(atTwo.top, 170);
    EXPECT_EQ(atTwo.right - atTwo.left, 1260);
}
