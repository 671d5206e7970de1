#include "app/startup.h"

#include "app/control_registry.h"
#include "app/font_slot.h"
#include "app/lighting_sync/feed_protocol.h"
#include "app/main_wnd.h"
#include "app/simulation_hook.h"
#include "devsim/simulation.h"
#include "platform/debug_output.h"
#include "platform/exit_watchdog.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/process_stats.h"
#include "platform/single_instance.h"
#include "shell/app_messages.h"
#include "shell/main_messages.h"
#include "shell/peers.h"
#include "ui/resource_manager.h"
#include "ui/script/script_runner.h"
#include "ui/window_backend.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace app {
namespace {

// The registered messages other programs may send the main window: the instance message,
// the GUID messages and the game messages. The hook's key and mouse messages are not
// among them: only the program's own hook sends those.
std::vector<std::wstring> messagesFromPeers()
{
    std::vector<std::wstring> names{std::wstring(platform::kInstanceIdentifier)};
    for (const auto name : shell::kGuidMessageNames)
        names.emplace_back(name);
    for (const auto name : lighting_sync::kGameMessageNames)
        names.emplace_back(name);
    return names;
}

constexpr std::wstring_view kFontFiles[] = {
    L"Font\\Simplified_Chinese.ttf", L"Font\\Falcaro-Regular.otf",
    L"Font\\NotoSansThai-Regular.ttf", L"Font\\NotoSansCJKtc-Regular.otf"};

// Modes 2 to 4 stay selectable here, though only mode 1 runs.
constexpr const char* kSkinArchivePassword = "hv2vav-skin-k7q";
constexpr int kResourceMode = CPaintManagerUI::UILIB_FILE;

// The endpoint other processes address the main window by.
constexpr std::wstring_view kMainEndpointName = L"MainWnd";

// The main window's icon, by the resource id the window asks for.
constexpr UINT kMainIconResource = 107;
constexpr std::wstring_view kMainIconFile = L"icon\\halvek.png";

} // namespace

void setupUiResources(const std::filesystem::path& programFolder)
{
    const std::wstring instancePath = platform::toWide(programFolder) + L"/";
    CPaintManagerUI::SetResourceType(kResourceMode);
    switch (CPaintManagerUI::GetResourceType()) {
    case CPaintManagerUI::UILIB_ZIP:
        CPaintManagerUI::SetResourcePath(instancePath + L"skin\\");
        CPaintManagerUI::SetResourceZip(L"duidemo.zip", true, kSkinArchivePassword);
        CResourceManager::GetInstance()->LoadResource(L"res.xml");
        break;
    case CPaintManagerUI::UILIB_RESOURCE:
        CPaintManagerUI::SetResourcePath(instancePath + L"skin\\xml\\");
        CResourceManager::GetInstance()->LoadResource(L"IDR_RES", L"xml");
        break;
    case CPaintManagerUI::UILIB_ZIPRESOURCE:
        // No resource module to take an archive from: nothing is loaded.
        CPaintManagerUI::SetResourcePath(instancePath + L"skin\\");
        break;
    case CPaintManagerUI::UILIB_FILE:
    default:
        CPaintManagerUI::SetResourcePath(instancePath + L"skin\\");
        CResourceManager::GetInstance()->LoadResource(L"res.xml");
        break;
    }
    registerControlClasses();
}

namespace {

// Exit codes besides 0: a script step failed or the display went away; bad arguments.
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;
// Every teardown ends within this, whatever a toolkit or a worker does meanwhile.
constexpr std::chrono::seconds kTeardownBound{10};
// How long start-up waits for the first frame before it stops measuring.
constexpr std::chrono::seconds kFirstFrameWait{5};

std::string simulateModeName(const std::optional<SimulateMode>& mode)
{
    if (!mode)
        return {};
    switch (*mode) {
    case SimulateMode::Both:
        return "both";
    case SimulateMode::Cable:
        return "cable";
    case SimulateMode::Receiver:
        return "receiver";
    case SimulateMode::Socket:
        return "socket";
    }
    return {};
}

std::optional<std::vector<ui::script::Step>> loadScript(const std::filesystem::path& file)
{
    const auto text = platform::readFileBounded(file, ui::script::kMaxScriptBytes);
    if (!text) {
        std::fprintf(stderr, "halvek: script %s not read: %s\n", file.string().c_str(),
                     text.error().message.c_str());
        return std::nullopt;
    }
    auto steps = ui::script::parseScript(*text);
    if (!steps) {
        std::fprintf(stderr, "halvek: script %s:\n%s\n", file.string().c_str(),
                     steps.error().message.c_str());
        return std::nullopt;
    }
    return std::move(*steps);
}

// Runs the loop until the window has shown its first frame, then says how long that
// took from the process's start and how much memory it holds (HALVEK_DEBUG=1 shows it).
void reportFirstFrame(const CWindowWnd& window)
{
    const HWND hwnd = window.GetHWND();
    const bool shown = platform::MessageQueue::current().runUntil(
        [&] { return !platform::isWindow(hwnd) || window.GetFramesShown() > 0; },
        std::chrono::steady_clock::now() + kFirstFrameWait);
    if (!shown || !platform::isWindow(hwnd))
        return;
    const auto elapsed = platform::timeSinceProcessStart();
    const auto resident = platform::residentMemoryBytes();
    // Processor time too: on a busy machine the elapsed time says more about the others.
    const long long cpuMs = static_cast<long long>(std::clock()) * 1000 / CLOCKS_PER_SEC;
    platform::debugOutput(
        "first frame shown " + (elapsed ? std::to_string(elapsed->count()) + " ms" : "?") +
        " after start (" + std::to_string(cpuMs) + " ms of processor time); resident memory " +
        (resident ? std::to_string(*resident / (1024 * 1024)) + " MB" : "?"));
}

} // namespace

int runHalvek(const CommandLine& options)
{
    if (options.trace)
        platform::echoDebugOutput();
    platform::securePrivateFolders();
    std::vector<ui::script::Step> script;
    if (options.script) {
        auto loaded = loadScript(*options.script);
        if (!loaded)
            return kExitBadInput;
        script = std::move(*loaded);
    }
    const bool offscreen = options.display == DisplayMode::Offscreen;

    const std::filesystem::path programFolder = platform::programFolder();
    std::unique_ptr<FontSlot> fonts[std::size(kFontFiles)];
    for (std::size_t i = 0; i < std::size(kFontFiles); ++i) {
        fonts[i] = std::make_unique<FontSlot>(programFolder);
        if (!fonts[i]->load(kFontFiles[i]))
            platform::debugOutput(L"font not loaded: " + std::wstring(kFontFiles[i]));
    }
    auto releaseFonts = [&] {
        for (std::size_t i = std::size(kFontFiles); i-- > 0;)
            fonts[i]->release();
    };
    // COM and OLE have no counterpart here.

    auto& messages = shell::appMessages();
    messages.instance = platform::registerMessage(platform::kInstanceIdentifier);
    platform::debugOutput(L"软件标示：" + std::to_wstring(messages.instance));
    if (messages.instance < 0xC000 || messages.instance > 0xFFFF) {
        releaseFonts();
        return 0;
    }

    // The display before the lock: an instance that cannot show anything must never
    // keep a later start on a real display from running.
    if (offscreen) {
        ui::setWindowBackend(ui::createOffscreenBackend());
    } else {
        auto backend = ui::createSdlBackend();
        if (!backend) {
            std::fprintf(stderr,
                         "halvek: %s.\nStart it on a desktop, or give --offscreen to run without "
                         "showing windows.\n",
                         backend.error().message.c_str());
            releaseFonts();
            return kExitFailed;
        }
        ui::setWindowBackend(std::move(*backend));
    }
    // Whatever way this function is left, the backend goes while the queue still exists.
    struct BackendOwner {
        ~BackendOwner() { ui::setWindowBackend(nullptr); }
    } backendOwner;

    platform::SingleInstance instance;
    // Off-screen runs are private checks: no lock, no messages from other programs.
    const auto runtimeFolder =
        offscreen ? platform::Result<std::filesystem::path>(
                        platform::makeError(platform::Error::Code::Unavailable, "off-screen run"))
                  : platform::instanceRuntimeFolder();
    if (runtimeFolder) {
        const auto claim = instance.claim(*runtimeFolder, platform::kInstanceIdentifier);
        if (claim && *claim == platform::SingleInstance::Claim::AnotherRuns) {
            const auto woken =
                platform::wakeRunningInstance(*runtimeFolder, platform::kInstanceIdentifier);
            if (!woken)
                platform::debugOutput("waking the running instance failed: " +
                                      woken.error().message);
            releaseFonts();
            return 0;
        }
        // Like a mutex that could not be made: not a reason to stop.
        if (!claim)
            platform::debugOutput("single-instance lock unavailable: " + claim.error().message);
    } else {
        platform::debugOutput("no runtime folder: " + runtimeFolder.error().message);
    }

    CPaintManagerUI::SetInstance(nullptr);
    CPaintManagerUI::SetInstancePath(platform::toWide(programFolder));
    setupUiResources(programFolder);
    for (std::size_t i = 0; i < shell::kGuidMessageNames.size(); ++i)
        messages.guid[i] = platform::registerMessage(shell::kGuidMessageNames[i]);
    ui::registerIconResource(kMainIconResource, kMainIconFile);

    // Plugged before the window exists, so the watcher's first pass finds the devices.
    bool simulated = true;
    const auto simulation = devsim::attachSimulation(
        "halvek", simulateModeName(options.simulate),
        options.simState ? options.simState->string() : std::string(), simulated);
    if (!simulated) {
        releaseFonts();
        return kExitBadInput;
    }
    if (simulation) {
        setSimulationHandler([&simulation](ui::script::SimAction action, ui::script::SimLink link) {
            const auto which = link == ui::script::SimLink::Cable ? devsim::KeyboardLink::Cable
                                                                  : devsim::KeyboardLink::Receiver;
            return action == ui::script::SimAction::Plug ? simulation->plug(which)
                                                         : simulation->unplug(which);
        });
    }
    struct SimulationHandlerOwner {
        ~SimulationHandlerOwner() { setSimulationHandler({}); }
    } simulationHandlerOwner;

    MainWndOptions windowOptions;
    windowOptions.simulated = simulation != nullptr;
    auto mainWindow = std::make_unique<CMainWnd>(std::move(windowOptions));
    // Other processes reach the main window by its registered messages; the listener
    // thread only posts, the UI thread handles.
    std::atomic<HWND> mainHandle{nullptr};
    std::unique_ptr<platform::IpcEndpoint> endpoint;
    if (runtimeFolder) {
        endpoint = std::make_unique<platform::IpcEndpoint>(*runtimeFolder,
                                                           std::wstring(kMainEndpointName));
        const auto receiving = endpoint->startReceiving(
            [&](platform::IpcMessage&& message) {
                const HWND hwnd = mainHandle.load();
                if (!hwnd)
                    return;
                if (message.kind == platform::IpcMessage::Kind::CopyData) {
                    // Sent, not posted: the data lives only for the call, as WM_COPYDATA's does.
                    COPYDATASTRUCT copyData;
                    copyData.dwData = static_cast<UINT_PTR>(message.copyDataId);
                    copyData.cbData = static_cast<DWORD>(message.data.size());
                    copyData.lpData = message.data.data();
                    platform::sendMessage(hwnd, WM_COPYDATA, static_cast<WPARAM>(message.wParam),
                                          reinterpret_cast<LPARAM>(&copyData));
                    return;
                }
                const platform::MessageId id = platform::registerMessage(message.name);
                if (id != 0)
                    platform::postMessage(hwnd, id, static_cast<WPARAM>(message.wParam),
                                          static_cast<LPARAM>(message.lParam));
            },
            messagesFromPeers());
        if (!receiving)
            platform::debugOutput("messages from other programs unavailable: " +
                                  receiving.error().message);
        shell::setPeerEndpoint(endpoint.get());
    }

    constexpr DWORD kMainStyle = 0x96CA0000;
    constexpr SIZE kMainSize{800, 572};
    // Placed centred from the start, so it is never seen at the corner first.
    const RECT area = ui::windowBackend().workArea();
    const int left = std::max(area.left, (area.left + area.right - kMainSize.cx) / 2);
    const int top = std::max(area.top, (area.top + area.bottom - kMainSize.cy) / 2);
    if (!mainWindow->Create(nullptr, platform::kInstanceIdentifier, kMainStyle, 0, left, top,
                            kMainSize.cx, kMainSize.cy)) {
        platform::armExitWatchdog(kTeardownBound, 0, "the teardown did not finish in time");
        std::fputs("halvek: the main window could not be created (is the skin installed?)\n",
                   stderr);
        mainWindow.reset();
        shell::setPeerEndpoint(nullptr);
        endpoint.reset();
        CResourceManager::GetInstance()->Release();
        instance.release();
        releaseFonts();
        return 0;
    }
    mainHandle = mainWindow->GetHWND();
    mainWindow->SetIcon(kMainIconResource);
    mainWindow->SendMessage(WM_SETICON, ICON_BIG, kMainIconResource);
    mainWindow->CenterWindow();
    reportFirstFrame(*mainWindow);

    int exitCode = 0;
    std::unique_ptr<ui::script::ScriptRunner> runner;
    if (options.script) {
        runner =
            std::make_unique<ui::script::ScriptRunner>(std::move(script), mainWindow->GetHWND());
        runner->setSimulationHandler(&simulate);
        runner->setTrayHandler([&mainHandle](ui::script::TrayButton button) {
            return platform::postMessage(mainHandle.load(), shell::MSG_TRAY, 0,
                                         button == ui::script::TrayButton::Right ? WM_RBUTTONUP
                                                                                 : WM_LBUTTONUP);
        });
        runner->setFinishedHandler([&](int code) {
            exitCode = code;
            // Through the window's own shutdown; the quit covers a window already gone.
            ui::destroyWindow(mainHandle.load());
            platform::postQuitMessage(code);
        });
        runner->start();
    }
    CPaintManagerUI::MessageLoop();

    platform::armExitWatchdog(kTeardownBound, exitCode, "the teardown did not finish in time");
    if (runner && runner->isRunning()) {
        std::fputs("halvek: the program ended before the script did\n", stderr);
        exitCode = kExitFailed;
    }
    runner.reset();
    if (ui::windowBackend().displayLost())
        exitCode = kExitFailed;
    // The window goes first: a listener blocked in a send to it is released with 0, so
    // the listener then stops in time.
    mainHandle = nullptr;
    mainWindow.reset();
    shell::setPeerEndpoint(nullptr);
    if (endpoint)
        endpoint->stopReceiving();
    CResourceManager::GetInstance()->Release();
    instance.release();
    releaseFonts();
    return exitCode;
}

} // namespace app
