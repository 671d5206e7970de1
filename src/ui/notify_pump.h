#pragma once

#include "ui/notify.h"

#include <string>
#include <utility>
#include <vector>

class CNotifyPump;
// Calls one handler of the class that declared the map entry.
using DUI_PMSG = void (*)(CNotifyPump* pump, TNotifyUI& msg);

struct DUI_MSGMAP_ENTRY {
    const wchar_t* sMsgType;  // notification type; null ends the table
    const wchar_t* sCtrlName; // empty: any sender
    DUI_PMSG pfn;
};

struct DUI_MSGMAP;
using DUI_GET_BASE_MAP = const DUI_MSGMAP* (*)();
struct DUI_MSGMAP {
    DUI_GET_BASE_MAP pfnGetBaseMap;
    const DUI_MSGMAP_ENTRY* lpEntries;
};

// Routes notifications through message maps and named virtual windows. A derived
// class's map is searched first, then its base classes' maps in turn; the first entry
// that matches handles the notification. Then the pumps registered as virtual windows
// under the sender's "virtualwnd" name get their turn.
class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;

    bool AddVirtualWnd(std::wstring_view name, CNotifyPump* pump);
    bool RemoveVirtualWnd(std::wstring_view name);
    // True when some map entry or virtual window handled it.
    bool NotifyPump(TNotifyUI& msg);
    bool LoopDispatch(TNotifyUI& msg);

    static const DUI_MSGMAP* GetThisMessageMap() { return nullptr; }
    virtual const DUI_MSGMAP* GetMessageMap() const { return nullptr; }

private:
    std::vector<std::pair<std::wstring, CNotifyPump*>> m_virtualWnds;
};

#define DUI_DECLARE_MESSAGE_MAP()                                                                  \
public:                                                                                            \
    static const ::DUI_MSGMAP* GetThisMessageMap();                                                \
    const ::DUI_MSGMAP* GetMessageMap() const override;

// DUI_BEGIN_MESSAGE_MAP(CMyWnd, WindowImplBase) ... DUI_END_MESSAGE_MAP()
#define DUI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                 \
    const ::DUI_MSGMAP* theClass::GetMessageMap() const                                            \
    {                                                                                              \
        return theClass::GetThisMessageMap();                                                      \
    }                                                                                              \
    const ::DUI_MSGMAP* theClass::GetThisMessageMap()                                              \
    {                                                                                              \
        using ThisClass = theClass;                                                                \
        static const ::DUI_GET_BASE_MAP baseMap = &baseClass::GetThisMessageMap;                   \
        static const ::DUI_MSGMAP_ENTRY entries[] = {

#define DUI_ON_MSGTYPE(msgtype, memberFxn)                                                         \
    {msgtype, L"", [](::CNotifyPump* pump, ::TNotifyUI& msg) {                                     \
         static_cast<ThisClass*>(pump)->memberFxn(msg);                                            \
     }},

#define DUI_ON_MSGTYPE_CTRNAME(msgtype, ctrname, memberFxn)                                        \
    {msgtype, ctrname, [](::CNotifyPump* pump, ::TNotifyUI& msg) {                                 \
         static_cast<ThisClass*>(pump)->memberFxn(msg);                                            \
     }},

#define DUI_ON_CLICK_CTRNAME(ctrname, memberFxn)                                                   \
    DUI_ON_MSGTYPE_CTRNAME(L"click", ctrname, memberFxn)

#define DUI_END_MESSAGE_MAP()                                                                      \
    {                                                                                              \
        nullptr, nullptr, nullptr                                                                  \
    }                                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const ::DUI_MSGMAP map{baseMap, entries};                                               \
    return &map;                                                                                   \
    }
