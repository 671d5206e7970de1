#include "ui/paint_manager_ui.h"

#include "platform/message_queue.h"
#include "ui/kept_picture.h"
#include "ui/paint_listener.h"
#include "ui/paint_manager_shared.h"
#include "ui/popup_ui.h"
#include "ui/window_backend.h"

#include <algorithm>
#include <tuple>

// Invalidation and painting of the tree into the window's canvas.

namespace {

std::function<void()>& paintListener()
{
    static std::function<void()> listener;
    return listener;
}

// Rectangles of one row (a row of keys) shown as one where the gaps between them are narrow
// (half the row's height at most): the pixels between are the last frame's and go unchanged,
// and the window system takes one request instead of one per key.
std::vector<RECT> joinRows(std::vector<RECT> rects)
{
    std::sort(rects.begin(), rects.end(), [](const RECT& a, const RECT& b) {
        return std::tie(a.top, a.bottom, a.left) < std::tie(b.top, b.bottom, b.left);
    });
    std::vector<RECT> rows;
    for (const RECT& rc : rects) {
        if (!rows.empty()) {
            RECT& row = rows.back();
            if (row.top == rc.top && row.bottom == rc.bottom &&
                rc.left - row.right <= (rc.bottom - rc.top) / 2) {
                row.right = std::max(row.right, rc.right);
                continue;
            }
        }
        rows.push_back(rc);
    }
    return rows;
}

// Where the tooltip goes, clear of the window's edges.
struct ToolTipLayout {
    RECT box{};
    int pad = 0;
    int titleHeight = 0;
};
ToolTipLayout toolTipLayout(const CPaintManagerUI& manager, ui::Canvas& canvas)
{
    const CPaintManagerUI::ToolTip& tip = *manager.GetToolTip();
    const ui::FontStyle& font = manager.GetDefaultFontInfo();
    ui::FontStyle bold = font;
    bold.bold = true;
    const double scale = manager.GetScale();
    ToolTipLayout layout;
    layout.pad = manager.Scale(4);
    const int maxWidth = manager.Scale(300);
    const SIZE titleSize =
        tip.title.empty() ? SIZE{} : canvas.measureText(tip.title, bold, scale, maxWidth);
    const SIZE textSize = canvas.measureText(tip.text, font, scale, maxWidth);
    const int width = std::max(titleSize.cx, textSize.cx) + 2 * layout.pad;
    const int height = titleSize.cy + textSize.cy + 2 * layout.pad;
    int left = tip.at.x;
    int top = tip.at.y + manager.Scale(20);
    if (left + width > canvas.width())
        left = std::max(0, canvas.width() - width);
    if (top + height > canvas.height())
        top = std::max(0, tip.at.y - height - manager.Scale(4));
    layout.box = RECT{left, top, left + width, top + height};
    layout.titleHeight = titleSize.cy;
    return layout;
}

} // namespace

void ui::setPaintListener(std::function<void()> listener)
{
    paintListener() = std::move(listener);
}

void CPaintManagerUI::NeedUpdate()
{
    m_bUpdateNeeded = true;
    requestPaint();
}

void CPaintManagerUI::Invalidate()
{
    m_damageAll = true;
    requestPaint();
}

void CPaintManagerUI::Invalidate(const RECT& rc)
{
    addDamage(rc);
    requestPaint();
}

void CPaintManagerUI::InvalidatePaced(const RECT& rc)
{
    addPacedDamage(PacedDamage{rc, nullptr});
}

void CPaintManagerUI::InvalidatePaced(CControlUI& control)
{
    addPacedDamage(PacedDamage{control.GetPos(), &control});
}

void CPaintManagerUI::addPacedDamage(const PacedDamage& damage)
{
    // A window not on show paints everything when it shows again.
    if (!m_hWndPaint || !ui::isWindowShowing(m_hWndPaint))
        return;
    if (std::find(m_pacedDamage.begin(), m_pacedDamage.end(), damage) != m_pacedDamage.end()) {
        // Already waiting for its frame.
    } else if (m_pacedDamage.size() < kMaxPacedDamage) {
        m_pacedDamage.push_back(damage);
    } else {
        RECT bounds = damage.rc;
        for (const PacedDamage& known : m_pacedDamage)
            bounds = RECT{std::min(bounds.left, known.rc.left), std::min(bounds.top, known.rc.top),
                          std::max(bounds.right, known.rc.right),
                          std::max(bounds.bottom, known.rc.bottom)};
        m_pacedDamage.assign(1, PacedDamage{bounds, nullptr});
    }
    if (m_pacedTimerSet)
        return;
    const auto now = std::chrono::steady_clock::now();
    const auto due = m_lastPacedFrame + kPacedFrame;
    if (now >= due) {
        flushPacedDamage();
        return;
    }
    m_pacedTimerSet = platform::setTimer(m_hWndPaint, ui::detail::kPacedPaintTimer,
                                         std::chrono::ceil<std::chrono::milliseconds>(due - now));
    if (!m_pacedTimerSet)
        flushPacedDamage();
}

void CPaintManagerUI::flushPacedDamage()
{
    if (m_pacedTimerSet)
        platform::killTimer(m_hWndPaint, ui::detail::kPacedPaintTimer);
    m_pacedTimerSet = false;
    m_lastPacedFrame = std::chrono::steady_clock::now();
    if (m_pacedDamage.empty())
        return;
    for (const PacedDamage& damage : m_pacedDamage) {
        if (std::find(m_pacedDue.begin(), m_pacedDue.end(), damage) == m_pacedDue.end())
            m_pacedDue.push_back(damage);
    }
    m_pacedDamage.clear();
    requestPaint();
}

void CPaintManagerUI::KeptPictureDrawn(const CControlUI& control)
{
    if (m_keptPaint == &control)
        m_keptPaint = nullptr;
}

bool CPaintManagerUI::canDrawKeptPicture(const CControlUI& control) const
{
    auto* kept = static_cast<IKeptPictureUI*>(
        const_cast<CControlUI&>(control).GetInterface(IKeptPictureUI::kInterface));
    return kept != nullptr && control.IsVisible() && kept->HasKeptPicture();
}

std::vector<CControlUI*> CPaintManagerUI::takePacedDamage()
{
    // Whatever waits for its paced frame goes with this one.
    std::vector<PacedDamage> paced = std::move(m_pacedDue);
    m_pacedDue.clear();
    paced.insert(paced.end(), m_pacedDamage.begin(), m_pacedDamage.end());
    m_pacedDamage.clear();
    std::vector<CControlUI*> kept;
    if (m_damageAll)
        return kept;
    for (const PacedDamage& damage : paced) {
        if (damage.control && damage.rc == damage.control->GetPos() &&
            canDrawKeptPicture(*damage.control)) {
            if (std::find(kept.begin(), kept.end(), damage.control) == kept.end())
                kept.push_back(damage.control);
        } else {
            addDamage(damage.rc);
        }
    }
    // Where other damage reaches, what lies under the control is drawn anew: the control is
    // drawn with it. Each one moved may reach another.
    for (bool moved = true; moved && !kept.empty();) {
        moved = false;
        for (auto it = kept.begin(); it != kept.end();) {
            const RECT rc = (*it)->GetPos();
            const bool reached =
                std::any_of(m_damage.begin(), m_damage.end(), [&](const RECT& known) {
                    RECT both;
                    return IntersectRect(both, known, rc);
                });
            if (!reached) {
                ++it;
                continue;
            }
            addDamage(rc);
            it = kept.erase(it);
            moved = true;
        }
    }
    return kept;
}

void CPaintManagerUI::addDamage(const RECT& rc)
{
    if (m_damageAll)
        return;
    const SIZE client = GetClientSize();
    RECT area;
    if (!IntersectRect(area, rc, RECT{0, 0, client.cx, client.cy}))
        return;
    for (const RECT& known : m_damage) {
        RECT both;
        if (IntersectRect(both, known, area) && both == area)
            return;
    }
    std::erase_if(m_damage, [&](const RECT& known) {
        RECT both;
        return IntersectRect(both, known, area) && both == known;
    });
    if (m_damage.size() < kMaxDamageRects) {
        m_damage.push_back(area);
        return;
    }
    // Past a handful of rectangles one pass over their bounds costs less than a pass each.
    RECT bounds = area;
    for (const RECT& known : m_damage)
        bounds = RECT{std::min(bounds.left, known.left), std::min(bounds.top, known.top),
                      std::max(bounds.right, known.right), std::max(bounds.bottom, known.bottom)};
    m_damage.assign(1, bounds);
}

void CPaintManagerUI::requestPaint()
{
    // A hidden or minimised window draws nothing; showing it paints the whole frame.
    // Only a layout still waiting is done.
    if (m_paintPosted || !m_hWndPaint || (!m_bUpdateNeeded && !ui::isWindowShowing(m_hWndPaint)))
        return;
    m_paintPosted = platform::postMessage(m_hWndPaint, WM_PAINT, kDamagePaint, 0);
}

bool CPaintManagerUI::layOut()
{
    if (!m_pRoot)
        return false;
    const SIZE client = GetClientSize();
    if (client.cx <= 0 || client.cy <= 0)
        return false;
    if (!m_canvas || m_canvas->width() != client.cx || m_canvas->height() != client.cy) {
        m_canvas = ui::createImageCanvas(client.cx, client.cy);
        m_bUpdateNeeded = true;
    }
    if (!m_bUpdateNeeded)
        return true;
    // A new layout may have moved anything.
    m_bUpdateNeeded = false;
    m_damageAll = true;
    m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
    if (m_bFirstLayout) {
        m_bFirstLayout = false;
        SendNotify(m_pRoot, L"windowinit");
        // The window may have rebuilt or resized itself in its handler.
        if (!m_pRoot)
            return false;
        if (m_bUpdateNeeded) {
            m_bUpdateNeeded = false;
            m_pRoot->SetPos(RECT{0, 0, client.cx, client.cy}, false);
        }
    }
    return true;
}

void CPaintManagerUI::Paint()
{
    m_damageAll = true;
    paintDamage();
}

void CPaintManagerUI::paintDamage()
{
    if (!layOut())
        return;
    ui::Canvas& canvas = *m_canvas;
    const RECT all{0, 0, canvas.width(), canvas.height()};
    const std::vector<CControlUI*> kept = takePacedDamage();
    std::vector<RECT> region;
    if (m_damageAll) {
        region.assign(1, all);
    } else {
        region.swap(m_damage);
        // The open drop list lies outside its owner; whatever changed under or in it is
        // drawn again with it.
        if (m_pPopup && !region.empty())
            region.push_back(m_rcPopup);
    }
    m_damageAll = false;
    m_damage.clear();
    for (const RECT& rc : region)
        paintRect(canvas, rc, nullptr);
    for (CControlUI* control : kept)
        paintRect(canvas, control->GetPos(), control);
    // Frames painted but never shown (a driver painting without a message loop).
    if (m_unpresented.size() > kMaxUnpresented)
        m_unpresented.assign(1, all);
}

void CPaintManagerUI::paintRect(ui::Canvas& canvas, const RECT& rc, CControlUI* kept)
{
    canvas.pushClip(rc);
    bool drawn = false;
    // A kept picture drawn earlier in this frame may have been dropped since.
    if (kept && canDrawKeptPicture(*kept)) {
        m_keptPaint = kept;
        m_keptPath.clear();
        for (const CControlUI* parent = kept->GetParent(); parent; parent = parent->GetParent())
            m_keptPath.push_back(parent);
        m_pRoot->DoPaint(canvas, rc);
        // Still set: the control was not reached or could not draw its picture, and nothing
        // was drawn.
        drawn = m_keptPaint == nullptr;
        m_keptPaint = nullptr;
    }
    if (!drawn) {
        canvas.clear(0xFFFFFFFF);
        m_pRoot->DoPaint(canvas, rc);
    }
    // What the manager draws above the tree, only where this rectangle reaches it: a frame
    // of many small rectangles must not lay out a tooltip for each.
    RECT both;
    if (IntersectRect(both, GetFocusRingRect(), rc))
        paintFocusRing(canvas);
    if (m_pPopup && IntersectRect(both, m_rcPopup, rc)) {
        if (auto* popup = static_cast<IPopupUI*>(m_pPopup->GetInterface(L"Popup")))
            popup->PaintPopup(canvas);
    }
    if (m_tooltip && IntersectRect(both, toolTipLayout(*this, canvas).box, rc))
        paintToolTip(canvas);
    canvas.popClip();
    m_unpresented.push_back(rc);
}

void CPaintManagerUI::handlePaint(WPARAM wParam)
{
    m_paintPosted = false;
    if (!ui::isWindowShowing(m_hWndPaint)) {
        // Laid out all the same: the window's set-up waits for its first layout.
        layOut();
        m_damageAll = true;
    } else {
        if (wParam != kDamagePaint)
            m_damageAll = true;
        paintDamage();
        presentDamage();
    }
    if (const auto& listener = paintListener())
        listener();
}

void CPaintManagerUI::presentDamage()
{
    if (m_unpresented.empty() || !m_canvas || !m_hWndPaint)
        return;
    const RECT all{0, 0, m_canvas->width(), m_canvas->height()};
    if (std::find(m_unpresented.begin(), m_unpresented.end(), all) != m_unpresented.end())
        m_unpresented.assign(1, all);
    m_lastPresented = joinRows(std::move(m_unpresented));
    ui::presentWindow(m_hWndPaint, *m_canvas, m_lastPresented);
    m_unpresented.clear();
}

void CPaintManagerUI::paintToolTip(ui::Canvas& canvas)
{
    const ToolTipLayout layout = toolTipLayout(*this, canvas);
    const ui::FontStyle& font = GetDefaultFontInfo();
    ui::FontStyle bold = font;
    bold.bold = true;
    const double scale = GetScale();
    const RECT& box = layout.box;
    const int pad = layout.pad;
    // The skin's dark panel colours, so a tip does not flash light over the dark window.
    canvas.fillRect(box, 0xFF1A2029);
    canvas.strokeRect(box, 1, 0xFF2D3640);
    if (!m_tooltip->title.empty())
        canvas.drawText(RECT{box.left + pad, box.top + pad, box.right - pad,
                             box.top + pad + layout.titleHeight},
                        m_tooltip->title, bold, scale, 0xFFFFFFFF, DT_WORDBREAK);
    canvas.drawText(
        RECT{box.left + pad, box.top + pad + layout.titleHeight, box.right - pad, box.bottom - pad},
        m_tooltip->text, font, scale, 0xFFC9D1D9, DT_WORDBREAK);
}

RECT CPaintManagerUI::GetFocusRingRect() const
{
    if (!IsFocusRingShown() || !m_pFocus->IsVisible())
        return RECT{};
    const RECT& item = m_pFocus->GetPos();
    if (item.right <= item.left || item.bottom <= item.top)
        return RECT{};
    // Just outside the control, so the ring never hides its text or border.
    const int gap = Scale(2);
    return RECT{item.left - gap, item.top - gap, item.right + gap, item.bottom + gap};
}

void CPaintManagerUI::invalidateFocusRing()
{
    const RECT ring = GetFocusRingRect();
    if (ring.right > ring.left)
        Invalidate(ring);
}

void CPaintManagerUI::paintFocusRing(ui::Canvas& canvas)
{
    const RECT ring = GetFocusRingRect();
    if (ring.right <= ring.left)
        return;
    // Whole device pixels, so the line stays sharp at every scale.
    canvas.strokeRect(ring, std::max(1, Scale(2)), m_focusRingColor);
}
