#include "app/startup.h"

#include "app/app_messages.h"
#include "app/control_registry.h"
#include "app/font_slot.h"
#include "app/main_wnd.h"
#include "app/peers.h"
#include "devsim/simulation.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ipc.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/single_instance.h"
#include "ui/resource_manager.h"

#include <atomic>
#include <cstdio>
#include <memory>

namespace app {
namespace {

constexpr std::wstring_view kFontFiles[] = {
    L"Font\\Simplified_Chinese.ttf", L"Font\\Falcaro-Regular.otf",
    L"Font\\NotoSansThai-Regular.ttf", L"Font\\NotoSansCJKtc-Regular.otf"};

// Modes 2 to 4 stay selectable here, though only mode 1 runs.
constexpr const char* kSkinArchivePassword = "hv2vav-skin-k7q";
constexpr int kResourceMode = CPaintManagerUI::UILIB_FILE;

// The endpoint other processes address the main window by.
constexpr std::wstring_view kMainEndpointName = L"MainWnd";

} // namespace

AppMessages& appMessages()
{
    static AppMessages messages;
    return messages;
}

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

int runHalvek(const StartOptions& options)
{
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

    auto& messages = appMessages();
    messages.instance = platform::registerMessage(platform::kInstanceIdentifier);
    platform::debugOutput(L"软件标示：" + std::to_wstring(messages.instance));
    if (messages.instance < 0xC000 || messages.instance > 0xFFFF) {
        releaseFonts();
        return 0;
    }

    platform::SingleInstance instance;
    const auto runtimeFolder = platform::instanceRuntimeFolder();
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
    for (std::size_t i = 0; i < kGuidMessageNames.size(); ++i)
        messages.guid[i] = platform::registerMessage(kGuidMessageNames[i]);

    auto backend = ui::createSdlBackend();
    if (!backend) {
        // Without a display nothing can be shown; say so instead of ending silently.
        std::fputs("halvek: cannot open a display\n", stderr);
        releaseFonts();
        return 1;
    }
    ui::setWindowBackend(std::move(backend));

    // Plugged before the window exists, so the watcher's first pass finds the devices.
    bool simulated = true;
    const auto simulation =
        devsim::attachSimulation("halvek", options.simulate, options.simState, simulated);
    if (!simulated) {
        releaseFonts();
        return 2;
    }

    auto mainWindow = std::make_unique<CMainWnd>();
    // Other processes reach the main window by its registered messages; the listener
    // thread only posts, the UI thread handles.
    std::atomic<HWND> mainHandle{nullptr};
    std::unique_ptr<platform::IpcEndpoint> endpoint;
    if (runtimeFolder) {
        endpoint = std::make_unique<platform::IpcEndpoint>(*runtimeFolder,
                                                           std::wstring(kMainEndpointName));
        const auto receiving = endpoint->startReceiving([&](platform::IpcMessage&& message) {
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
        });
        if (!receiving)
            platform::debugOutput("messages from other programs unavailable: " +
                                  receiving.error().message);
        setPeerEndpoint(endpoint.get());
    }

    constexpr DWORD kMainStyle = 0x96CA0000;
    if (!mainWindow->Create(nullptr, platform::kInstanceIdentifier, kMainStyle, 0, 0, 0, 800,
                            572)) {
        setPeerEndpoint(nullptr);
        endpoint.reset();
        releaseFonts();
        return 0;
    }
    mainHandle = mainWindow->GetHWND();
    mainWindow->SetIcon(107);
    mainWindow->SendMessage(WM_SETICON, ICON_BIG, 107);
    mainWindow->CenterWindow();
    CPaintManagerUI::MessageLoop();

    // The window goes first: a listener blocked in a send to it is released with 0, so
    // the listener then stops in time.
    mainHandle = nullptr;
    mainWindow.reset();
    setPeerEndpoint(nullptr);
    if (endpoint)
        endpoint->stopReceiving();
    CResourceManager::GetInstance()->Release();
    instance.release();
    releaseFonts();
    ui::setWindowBackend(nullptr);
    return 0;
}

} // namespace app
