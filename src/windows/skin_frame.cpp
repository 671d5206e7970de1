#include "windows/skin_frame.h"

#include "platform/debug_output.h"
#include "platform/paths.h"
#include "shell/command_routes.h"
#include "ui/container_ui.h"
#include "ui/file_dialog.h"
#include "ui/paint_manager_ui.h"
#include "ui/render.h"
#include "ui/resource_manager.h"

CSkinFrame::CSkinFrame(HWND mainWnd, CControlUI* skinButton, std::filesystem::path mainIni)
    : m_mainWnd(mainWnd), m_skinButton(skinButton), m_ini(std::move(mainIni))
{
    m_chooseFile = [](HWND owner) {
        ui::FileDialogOptions options;
        options.mode = ui::FileDialogOptions::Mode::Open;
        options.title = CResourceManager::GetInstance()->GetText(L"file_choose_picture_title");
        options.defaultExtension = L"png";
        options.fileName = L"*.png";
        auto* texts = CResourceManager::GetInstance();
        options.filters = {{std::wstring(texts->GetText(L"file_filter_picture_text")), L"*.png"},
                           {std::wstring(texts->GetText(L"file_filter_all_text")), L"*.*"}};
        options.kind = L"Picture";
        return ui::showFileDialog(owner, options);
    };
}

CSkinFrame* CSkinFrame::s_open = nullptr;

void CSkinFrame::CloseOpenFrame()
{
    if (s_open && s_open->GetHWND())
        ui::destroyWindow(s_open->GetHWND());
}

CSkinFrame* CSkinFrame::Open(HWND mainWnd, CControlUI* skinButton, std::filesystem::path mainIni)
{
    CloseOpenFrame();
    auto* frame = new CSkinFrame(mainWnd, skinButton, std::move(mainIni));
    // No activation, a tool window, on top of everything.
    constexpr DWORD kExStyle = 0x08000088;
    if (!frame->Create(mainWnd, L"skinframe", WS_POPUP | WS_VISIBLE, kExStyle))
        return nullptr; // deleted at its final message
    frame->SetTopMost(true);
    s_open = frame;
    return frame;
}

void CSkinFrame::InitWindow()
{
    // Drawn at the main window's scale, like the button it opens under.
    for (CPaintManagerUI* manager : CPaintManagerUI::GetPaintManagers()) {
        if (manager->GetPaintWindow() == m_mainWnd && ui::isAllowedDpi(manager->GetDPI()))
            m_pm.SetDPI(manager->GetDPI());
    }
    place();
}

void CSkinFrame::place()
{
    if (!m_skinButton || !m_mainWnd)
        return;
    CWindowWnd* main = ui::windowFromHandle(m_mainWnd);
    if (!main)
        return;
    const RECT mainRect = main->GetWindowRect();
    const RECT button = m_skinButton->GetPos();
    // The button's position is in scaled pixels; so must the frame's size be.
    const SIZE size{m_pm.Scale(m_pm.GetInitSize().cx), m_pm.Scale(m_pm.GetInitSize().cy)};
    const int left = mainRect.left + button.right - size.cx;
    const int top = mainRect.top + button.bottom;
    MoveWindow(RECT{left, top, left + size.cx, top + size.cy});
}

void CSkinFrame::choose(const windows::SkinChangedParam& param)
{
    windows::skinObserver().Broadcast(param);
}

void CSkinFrame::OnClick(TNotifyUI& msg)
{
    if (!msg.pSender)
        return;
    const CDuiString name = msg.pSender->GetName();
    auto* tab = static_cast<CTabLayoutUI*>(m_pm.FindControl(L"skin_tab"));
    if (shell::equalsNoCase(name, L"skin_image_btn")) {
        const std::wstring image(msg.pSender->GetBkImage());
        choose({false, 0, image});
        m_ini.save(1, image);
    } else if (shell::equalsNoCase(name, L"skin_color_btn")) {
        choose({true, msg.pSender->GetBkColor(), {}});
    } else if (shell::equalsNoCase(name, L"skin_color")) {
        if (tab)
            tab->SelectItem(1);
    } else if (shell::equalsNoCase(name, L"skin_image")) {
        if (tab)
            tab->SelectItem(0);
    } else if (shell::equalsNoCase(name, L"skin_reset")) {
        const std::wstring image(windows::kDefaultBackground);
        choose({false, 0, image});
        m_ini.save(0, image);
    } else if (shell::equalsNoCase(name, L"skin_Custom")) {
        // The frame goes now, as it would when the dialog takes the focus; the dialog is the
        // main window's, so the frame's close cannot take it along.
        Close(IDCANCEL);
        const auto file = m_chooseFile ? m_chooseFile(m_mainWnd) : std::nullopt;
        if (!file)
            return;
        // Decoded here once, so a hostile picture never reaches the main window's paint.
        if (const std::wstring problem = ui::imageFileProblem(*file); !problem.empty()) {
            platform::debugOutput(L"skin image refused: " + problem);
            if (m_notice)
                m_notice(problem);
            return;
        }
        choose({false, 0, platform::toWide(*file)});
    }
}

LRESULT CSkinFrame::OnKillFocus(UINT, WPARAM, LPARAM, bool& bHandled)
{
    // Gone as soon as the user clicks elsewhere.
    Close(IDCANCEL);
    bHandled = true;
    return 0;
}

void CSkinFrame::OnFinalMessage(HWND hwnd)
{
    WindowImplBase::OnFinalMessage(hwnd);
    if (s_open == this)
        s_open = nullptr;
    delete this;
}
