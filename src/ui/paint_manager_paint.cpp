#include "ui/paint_manager_ui.h"

#include "platform/message_queue.h"
#include "ui/popup_ui.h"

#include <algorithm>

// Invalidation and painting of the tree into the window's canvas.

void CPaintManagerUI::NeedUpdate()
{
    m_bUpdateNeeded = true;
    requestPaint();
}

void CPaintManagerUI::Invalidate()
{
    requestPaint();
}

void CPaintManagerUI::Invalidate(const RECT&)
{
    requestPaint();
}

void CPaintManagerUI::requestPaint()
{
    if (m_paintPosted || !m_hWndPaint)
        return;
    m_paintPosted = platform::postMessage(m_hWndPaint, WM_PAINT, 0, 0);
}

void CPaintManagerUI::Paint()
{
    if (!m_pRoot)
        return;
    const SIZE client = GetClientSize();
    if (client.cx <= 0 || client.cy <= 0)
        return;
    if (!m_canvas || m_canvas->width() != client.cx || m_canvas->height() != client.cy) {
        m_canvas = ui::createImageCanvas(client.cx, client.cy);
        m_bUpdateNeeded = true;
    }
    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
        if (m_bFirstLayout) {
            m_bFirstLayout = false;
            SendNotify(m_pRoot, L"windowinit");
            // The window may have rebuilt or resized itself in its handler.
            if (!m_pRoot)
                return;
            if (m_bUpdateNeeded) {
                m_bUpdateNeeded = false;
                m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
            }
        }
    }
    ui::Canvas& canvas = *m_canvas;
    canvas.clear(0xFFFFFFFF);
    const RECT all{0, 0, client.cx, client.cy};
    m_pRoot->DoPaint(canvas, all);
    if (m_pPopup) {
        if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
            popup->PaintPopup(canvas);
    }
    if (m_tooltip)
        paintToolTip(canvas);
}

void CPaintManagerUI::paintToolTip(ui::Canvas& canvas)
{
    const ui::FontStyle& font = GetDefaultFontInfo();
    ui::FontStyle bold = font;
    bold.bold = true;
    const double scale = GetScale();
    const int pad = Scale(4);
    const int maxWidth = Scale(300);
    const SIZE titleSize = m_tooltip->title.empty()
                               ? SIZE{}
                               : canvas.measureText(m_tooltip->title, bold, scale, maxWidth);
    const SIZE textSize = canvas.measureText(m_tooltip->text, font, scale, maxWidth);
    const int width = std::max(titleSize.cx, textSize.cx) + 2 * pad;
    const int height = titleSize.cy + textSize.cy + 2 * pad;
    int left = m_tooltip->at.x;
    int top = m_tooltip->at.y + Scale(20);
    if (left + width > canvas.width())
        left = std::max(0, canvas.width() - width);
    if (top + height > canvas.height())
        top = std::max(0, m_tooltip->at.y - height - Scale(4));
    const RECT box{left, top, left + width, top + height};
    // The skin's dark panel colours, so a tip does not flash light over the dark window.
    canvas.fillRect(box, 0xFF1A2029);
    canvas.strokeRect(box, 1, 0xFF2D3640);
    if (!m_tooltip->title.empty())
        canvas.drawText(RECT{left + pad, top + pad, box.right - pad, top + pad + titleSize.cy},
                        m_tooltip->title, bold, scale, 0xFFFFFFFF, DT_WORDBREAK);
    canvas.drawText(RECT{left + pad, top + pad + titleSize.cy, box.right - pad, box.bottom - pad},
                    m_tooltip->text, font, scale, 0xFFC9D1D9, DT_WORDBREAK);
}
