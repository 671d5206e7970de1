#pragma once

#include "device/detect/permission_problem.h"
#include "device/detect/supported_interfaces.h"

#include <map>
#include <mutex>
#include <vector>

namespace detect {

// The supported-interface rows as the program keeps them at run time. The watcher thread
// marks rows present or absent; the UI thread reads them. Every access takes the lock, so
// readers get a consistent copy of a row.
class InterfaceTable {
public:
    InterfaceTable();

    std::size_t size() const { return m_size; }
    SupportedInterface row(std::size_t index) const;
    std::vector<SupportedInterface> rows() const;
    bool hasAbsentRow() const;

    void markPresent(std::size_t index, std::wstring path);
    void markAbsent(std::size_t index);

    // Rows whose interface is there but could not be opened for lack of permission, until
    // it is opened (or the row arrives).
    void notePermissionProblem(const PermissionProblem& problem);
    void clearPermissionProblem(std::size_t index);
    std::vector<PermissionProblem> permissionProblems() const;

private:
    mutable std::mutex m_lock;
    std::vector<SupportedInterface> m_rows;
    std::map<std::size_t, PermissionProblem> m_permissionProblems;
    std::size_t m_size;
};

} // namespace detect
