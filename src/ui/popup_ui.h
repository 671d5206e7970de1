#pragma once

#include "ui/render.h"
#include "ui/ui_types.h"

class CControlUI;

// Drawn above the tree and served input first while open (a combo's drop list).
class IPopupUI {
public:
    virtual ~IPopupUI() = default;
    virtual void PaintPopup(ui::Canvas& canvas) = 0;
    // The row under the point, for input while the popup is open.
    virtual CControlUI* PopupControlAt(POINT pt) = 0;
    virtual void ClosePopup() = 0;
};
