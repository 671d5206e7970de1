#include "app/placeholder_main_wnd.h"

#include "app/app_messages.h"
#include "platform/debug_output.h"
#include "platform/message_queue.h"

#include <sstream>

namespace app {
namespace {
// Ends the short top-most spell that brings the window to the front.
constexpr UINT_PTR kTopMostTimer = 1;
} // namespace

void PlaceholderMainWnd::InitWindow()
{
    CResourceManager::GetInstance()->SetTextQueryInterface(this);
    CResourceManager::GetInstance()->LoadLanguage(L"lan_cn.xml");
}

LRESULT PlaceholderMainWnd::OnDestroy(UINT, WPARAM, LPARAM, bool& bHandled)
{
    CResourceManager::GetInstance()->SetTextQueryInterface(nullptr);
    platform::postQuitMessage(0);
    bHandled = false;
    return 0;
}

void PlaceholderMainWnd::comeForward(WPARAM wParam, LPARAM lParam)
{
    std::wostringstream line;
    line << L"软件标示 " << appMessages().instance << L"，" << std::hex << wParam << L"d" << lParam
         << L"d";
    platform::debugOutput(line.str());
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
    ShowWindow(true, true);
    SetTopMost(true);
    BringToFront();
    platform::setTimer(m_hWnd, kTopMostTimer, std::chrono::milliseconds(10));
}

LRESULT PlaceholderMainWnd::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                                bool& bHandled)
{
    bHandled = false;
    if (msg != 0 && msg == appMessages().instance) {
        comeForward(wParam, lParam);
        bHandled = true;
    } else if (msg == WM_TIMER && wParam == kTopMostTimer) {
        platform::killTimer(m_hWnd, kTopMostTimer);
        SetTopMost(false);
        bHandled = true;
    }
    return 0;
}

} // namespace app
