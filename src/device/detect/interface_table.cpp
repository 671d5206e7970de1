#include "device/detect/interface_table.h"

namespace detect {

InterfaceTable::InterfaceTable()
    : m_rows(supportedInterfaces().begin(), supportedInterfaces().end()), m_size(m_rows.size())
{
}

SupportedInterface InterfaceTable::row(std::size_t index) const
{
    std::lock_guard guard(m_lock);
    return index < m_rows.size() ? m_rows[index] : SupportedInterface{};
}

std::vector<SupportedInterface> InterfaceTable::rows() const
{
    std::lock_guard guard(m_lock);
    return m_rows;
}

bool InterfaceTable::hasAbsentRow() const
{
    std::lock_guard guard(m_lock);
    for (const auto& r : m_rows) {
        if (r.isAbsent())
            return true;
    }
    return false;
}

void InterfaceTable::markPresent(std::size_t index, std::wstring path)
{
    std::lock_guard guard(m_lock);
    if (index >= m_rows.size())
        return;
    m_rows[index].present = true;
    m_rows[index].path = std::move(path);
    m_permissionProblems.erase(index);
}

void InterfaceTable::markAbsent(std::size_t index)
{
    std::lock_guard guard(m_lock);
    if (index >= m_rows.size())
        return;
    m_rows[index].present = false;
    m_rows[index].path.clear();
}

void InterfaceTable::notePermissionProblem(const PermissionProblem& problem)
{
    std::lock_guard guard(m_lock);
    if (problem.row < m_rows.size())
        m_permissionProblems[problem.row] = problem;
}

void InterfaceTable::clearPermissionProblem(std::size_t index)
{
    std::lock_guard guard(m_lock);
    m_permissionProblems.erase(index);
}

std::vector<PermissionProblem> InterfaceTable::permissionProblems() const
{
    std::lock_guard guard(m_lock);
    std::vector<PermissionProblem> problems;
    for (const auto& [row, problem] : m_permissionProblems)
        problems.push_back(problem);
    return problems;
}

} // namespace detect
