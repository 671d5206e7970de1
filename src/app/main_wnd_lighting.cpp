// The main window's own lighting: the synchronised-lighting worker, the same-lighting
// command, game messages with their restore timer, and the key clicks that paint.
#include "app/lighting_sync/feed_protocol.h"
#include "app/lighting_sync/game_lighting.h"
#include "app/main_lighting.h"
#include "app/main_wnd.h"
#include "pages/light_page_handlers.h"
#include "platform/debug_output.h"
#include "platform/registered_messages.h"
#include "shell/main_messages.h"

namespace app {

void CMainWnd::startLighting()
{
    if (!m_lighting)
        m_lighting = std::make_unique<MainLighting>();
    for (const auto kind : {detect::DeviceKind::Keyboard, detect::DeviceKind::Mouse,
                            detect::DeviceKind::MousePad, detect::DeviceKind::Headset}) {
        for (shell::ShellDevice* device : m_lists.list(kind)) {
            if (!m_lighting->syncDeviceOf(device) && !m_lighting->addDevice(kind, *device))
                platform::debugOutput(L"a device is left out of the shared lighting");
        }
    }
    if (!m_lighting->start())
        platform::debugOutput(L"synchronised lighting not started");
}

void CMainWnd::stopLighting()
{
    if (m_lighting && !m_lighting->stop())
        platform::debugOutput(L"synchronised lighting has not ended in time");
}

void CMainWnd::addLightingDevice(detect::DeviceKind kind, shell::ShellDevice& device)
{
    // Devices made before the window's initialisation join when the worker starts.
    if (m_lighting && !m_lighting->syncDeviceOf(&device) && !m_lighting->addDevice(kind, device))
        platform::debugOutput(L"a device is left out of the shared lighting");
}

void CMainWnd::applySameLighting()
{
    // The page offers the command only on effects every device shares; what a device did
    // not take shows in the status bar.
    if (m_lighting && !m_lighting->applySameLighting(activeDevice()))
        platform::debugOutput(L"same lighting: the shown effect has no shared form");
}

bool CMainWnd::handleGameMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == 0)
        return false;
    for (const auto name : lighting_sync::kGameMessageNames) {
        if (msg != platform::registerMessage(name))
            continue;
        if (m_lighting)
            m_lighting->gameEvent(activeDevice(), wParam, lParam);
        // Every event, with or without a device, puts the return off again.
        SetTimer(shell::kGameRestoreTimer,
                 static_cast<UINT>(lighting_sync::kGameRestoreDelay.count()));
        return true;
    }
    return false;
}

void CMainWnd::restoreAfterGame()
{
    if (m_lighting)
        m_lighting->restoreAfterGame(activeDevice());
}

bool CMainWnd::routeKeyToLighting(const shell::Route& route, TNotifyUI* msg,
                                  shell::ShellDevice* device)
{
    if (route.owner != shell::RouteOwner::Keys || route.command != L"key_" ||
        !pages::paintsKeys(device))
        return false;
    if (const auto handler = m_pageHandlers.find(shell::RouteOwner::Lighting);
        handler != m_pageHandlers.end())
        handler->second(route, msg, device);
    return true;
}

} // namespace app
