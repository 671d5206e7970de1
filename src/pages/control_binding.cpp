#include "pages/control_binding.h"

#include "pages/find_by_name.h"
#include "platform/debug_output.h"
#include "ui/resource_manager.h"

namespace pages {
namespace {

// The tooltip as stored: a text id where the control takes ids, not its words now.
std::wstring storedTip(CControlUI& control)
{
    if (!control.IsResourceText())
        return std::wstring(control.GetToolTip());
    control.SetResourceText(false);
    std::wstring tip(control.GetToolTip());
    control.SetResourceText(true);
    return tip;
}

} // namespace

CControlUI* bindControl(CControlUI* page, std::wstring_view name)
{
    CControlUI* control = findByName(page, name);
    if (!control)
        platform::debugOutput(L"page control missing from the skin: " + std::wstring(name));
    return control;
}

OfferedControl::OfferedControl(CControlUI* control)
    : m_control(control), m_skinTip(control ? storedTip(*control) : std::wstring())
{
}

void OfferedControl::show(const Offer& offer, bool pageAllows)
{
    if (!m_control)
        return;
    m_control->SetEnabled(offer.enabled && pageAllows);
    m_refused = !offer.enabled;
    if (offer.enabled) {
        m_control->SetToolTip(m_skinTip);
        return;
    }
    if (m_control->IsResourceText()) {
        m_control->SetToolTip(offer.reasonId);
        return;
    }
    CResourceManager* texts = CResourceManager::GetInstance();
    m_control->SetToolTip(texts->HasText(offer.reasonId)
                              ? std::wstring(texts->GetText(offer.reasonId))
                              : std::wstring(offer.english));
}

void OfferedControl::setTip(std::wstring_view tip)
{
    m_skinTip = tip;
    if (m_control && !m_refused)
        m_control->SetToolTip(m_skinTip);
}

} // namespace pages
