#include "windows/main_skin.h"

#include "ui/paint_manager_ui.h"
#include "windows/skin_frame.h"

namespace windows {

MainSkin::MainSkin(CPaintManagerUI& manager) : m_manager(manager)
{
    skinObserver().AddReceiver(this);
}

MainSkin::~MainSkin()
{
    CSkinFrame::CloseOpenFrame();
    RemoveObserver();
}

void MainSkin::restore(const SkinIni& ini)
{
    if (const auto image = ini.startImage())
        Receive(SkinChangedParam{false, 0, *image});
}

int MainSkin::Receive(SkinChangedParam param)
{
    CControlUI* root = m_manager.FindControl(L"root");
    if (!root)
        return 1;
    if (param.isColour) {
        root->SetBkColor(param.colour);
        root->SetBkImage(L"");
    } else {
        root->SetBkColor(0);
        root->SetBkImage(param.image);
    }
    root->Invalidate();
    return 1;
}

} // namespace windows
