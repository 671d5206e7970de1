// The main window's side of the global input hook: who holds it, and the hook messages
// handed to that page.
#include "app/main_wnd.h"

#include "hook/device_hook.h"
#include "hook/hook_client.h"
#include "hook/hook_messages.h"
#include "platform/debug_output.h"
#include "ui/paint_manager_ui.h"

namespace app {

bool CMainWnd::isHookInstalled() const
{
    return m_hook && m_hook->isHooked();
}

int CMainWnd::hookMode() const
{
    return isHookInstalled() ? m_hook->mode() : 0;
}

int CMainWnd::installHook(int mode, const std::shared_ptr<hook::HookClient>& client)
{
    if (!client || !m_hook)
        return 0;
    // The previous holder learns that its capture ended before the new one starts.
    if (m_hookClient.lock() != client)
        removeHook();
    m_hookClient = client;
    if (m_hook->SetHook(mode, m_hWnd, true, true) == 1) {
        client->onHookInstalled(m_hook->needsFocus());
        return 1;
    }
    m_hookClient.reset();
    platform::debugOutput("input hook not installed: " + m_hook->lastError());
    return 0;
}

void CMainWnd::removeHook(const hook::HookClient* requester)
{
    const auto client = m_hookClient.lock();
    m_hookClient.reset();
    // 0 only says no keyboard hook was in place; the grabs are released either way.
    if (m_hook && m_hook->Unhook() == 0)
        platform::debugOutput(L"no keyboard hook to remove");
    if (client && client.get() != requester)
        client->onHookRemoved();
}

void CMainWnd::setKeyCaptureClient(const std::shared_ptr<hook::HookClient>& client)
{
    m_keyCaptureClient = client;
}

void CMainWnd::hookControl(WPARAM install)
{
    if (install == 0) {
        removeHook();
    } else if (install == 1) {
        // A capture that could not start has said why in the trace; the edit stays usable.
        if (const auto client = m_keyCaptureClient.lock();
            client && installHook(hook::kModeKeyCapture, client) == 0)
            platform::debugOutput(L"key capture not started");
    }
}

void CMainWnd::deliverHookMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Only what our own hook is delivering right now is read; a message with any other
    // lParam, whoever sent it, is dropped without touching the pointer.
    const auto client = m_hookClient.lock();
    if (!client || !isHookInstalled())
        return;
    if (const auto* key = hook::CDeviceHook::keyboardEvent(msg, lParam)) {
        client->onHookKey(msg, wParam, *key);
        // A captured key may have edited the key map.
        showPendingState();
    } else if (const auto* mouse = hook::CDeviceHook::mouseEvent(msg, lParam))
        client->onHookMouse(msg, wParam, *mouse);
}

void CMainWnd::hookFocusLost()
{
    // While hooked every key of the desktop is withheld; a window that is no longer in
    // front must not keep them.
    if (!isHookInstalled())
        return;
    removeHook();
    // The key edit would otherwise still look as if it were capturing.
    if (CControlUI* focus = m_pm.GetFocus())
        if (focus->GetName() == L"keyset_keyboard_text_edit")
            m_pm.SetFocus(nullptr);
}

} // namespace app
