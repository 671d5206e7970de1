#pragma once

#include "windows/skin_choice.h"

class CPaintManagerUI;

namespace windows {

// The main window's end of the skin choices: paints its "root" control with each one.
// Registers itself with the process-wide observer for as long as it lives.
class MainSkin final : public SkinReceiver {
public:
    explicit MainSkin(CPaintManagerUI& manager);
    ~MainSkin() override;

    // Shows the ready image saved in the file, when there is one.
    void restore(const SkinIni& ini);
    int Receive(SkinChangedParam param) override;

private:
    CPaintManagerUI& m_manager;
};

} // namespace windows
