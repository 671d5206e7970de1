#include "ui/control_factory.h"

CControlFactory* CControlFactory::GetInstance()
{
    static CControlFactory instance;
    return &instance;
}

void CControlFactory::RegistControl(std::wstring_view name, CreateClass creator)
{
    if (name.empty() || !creator)
        return;
    std::lock_guard guard(m_lock);
    m_creators[std::wstring(name)] = creator;
}

CControlUI* CControlFactory::CreateControl(std::wstring_view name) const
{
    CreateClass creator = nullptr;
    {
        std::lock_guard guard(m_lock);
        const auto found = m_creators.find(name);
        if (found == m_creators.end())
            return nullptr;
        creator = found->second;
    }
    return creator();
}

bool CControlFactory::IsRegistered(std::wstring_view name) const
{
    std::lock_guard guard(m_lock);
    return m_creators.find(name) != m_creators.end();
}

void CControlFactory::UnregisterAll()
{
    std::lock_guard guard(m_lock);
    m_creators.clear();
}
