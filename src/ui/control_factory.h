#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

class CControlUI;
using CreateClass = CControlUI* (*)();

// Creates controls by class name, exactly as registered (case matters).
class CControlFactory {
public:
    static CControlFactory* GetInstance();

    void RegistControl(std::wstring_view name, CreateClass creator);
    // Null for a name never registered.
    CControlUI* CreateControl(std::wstring_view name) const;
    bool IsRegistered(std::wstring_view name) const;
    void UnregisterAll();

private:
    CControlFactory() = default;

    mutable std::mutex m_lock;
    std::map<std::wstring, CreateClass, std::less<>> m_creators;
};

// Registers a creator for a control class whose constructor takes no arguments.
template <class T> CControlUI* createControlOf()
{
    return new T();
}
#define REGIST_DUICONTROL(class_name)                                                              \
    CControlFactory::GetInstance()->RegistControl(L## #class_name, &createControlOf<class_name>)
