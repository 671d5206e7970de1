#include "ui/tray_icon.h"

#include "platform/message_queue.h"

namespace ui {
namespace {
class NullTrayBackend final : public TrayBackend {
public:
    bool show(const TrayTarget&, std::wstring_view) override { return false; }
    void setTooltip(std::wstring_view) override {}
    void hide() override {}
    bool hasHost() const override { return false; }
};
} // namespace

std::unique_ptr<TrayBackend> createNullTrayBackend()
{
    return std::make_unique<NullTrayBackend>();
}
} // namespace ui

CTrayIcon::CTrayIcon() : m_backend(ui::createStatusNotifierBackend()) {}

CTrayIcon::CTrayIcon(std::unique_ptr<ui::TrayBackend> backend)
    : m_backend(backend ? std::move(backend) : ui::createNullTrayBackend())
{
}

CTrayIcon::~CTrayIcon()
{
    DeleteTrayIcon();
}

bool CTrayIcon::CreateTrayIcon(HWND hwnd, UINT iconId, std::wstring_view tooltip, UINT message)
{
    if (!hwnd || message == 0)
        return false;
    DeleteTrayIcon();
    m_hwnd = hwnd;
    m_iconId = iconId;
    m_message = message;
    m_visible = m_backend->show(ui::TrayTarget{hwnd, message, iconId}, tooltip);
    if (m_visible)
        m_backend->setMenu(m_menu);
    return m_visible;
}

void CTrayIcon::DeleteTrayIcon()
{
    if (m_visible)
        m_backend->hide();
    m_visible = false;
    m_hwnd = nullptr;
}

void CTrayIcon::SetTooltipText(std::wstring_view tooltip)
{
    if (m_visible)
        m_backend->setTooltip(tooltip);
}

void CTrayIcon::SetMenu(std::vector<ui::MenuItemText> items)
{
    m_menu = std::move(items);
    if (m_visible)
        m_backend->setMenu(m_menu);
}

bool CTrayIcon::HasTrayHost() const
{
    return m_visible && m_backend->hasHost();
}

void CTrayIcon::OnIconMouse(UINT mouseMessage)
{
    if (m_visible && m_hwnd)
        platform::postMessage(m_hwnd, m_message, m_iconId, static_cast<LPARAM>(mouseMessage));
}
