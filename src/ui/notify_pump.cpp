#include "ui/notify_pump.h"

#include "platform/text.h"
#include "ui/control_ui.h"

#include <algorithm>

bool CNotifyPump::AddVirtualWnd(std::wstring_view name, CNotifyPump* pump)
{
    if (name.empty() || !pump)
        return false;
    for (const auto& entry : m_virtualWnds) {
        if (platform::equalsIgnoreCase(entry.first, name))
            return false;
    }
    m_virtualWnds.emplace_back(name, pump);
    return true;
}

bool CNotifyPump::RemoveVirtualWnd(std::wstring_view name)
{
    return std::erase_if(m_virtualWnds, [&](const auto& entry) {
               return platform::equalsIgnoreCase(entry.first, name);
           }) > 0;
}

bool CNotifyPump::LoopDispatch(TNotifyUI& msg)
{
    const std::wstring senderName = msg.pSender ? std::wstring(msg.pSender->GetName()) : L"";
    for (const DUI_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const DUI_MSGMAP_ENTRY* entry = map->lpEntries; entry && entry->sMsgType; ++entry) {
            if (msg.sType != entry->sMsgType)
                continue;
            if (entry->sCtrlName && *entry->sCtrlName && senderName != entry->sCtrlName)
                continue;
            entry->pfn(this, msg);
            return true;
        }
    }
    return false;
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg)
{
    if (LoopDispatch(msg))
        return true;
    if (msg.sVirtualWnd.empty())
        return false;
    for (const auto& [name, pump] : m_virtualWnds) {
        if (platform::equalsIgnoreCase(name, msg.sVirtualWnd) && pump->LoopDispatch(msg))
            return true;
    }
    return false;
}
