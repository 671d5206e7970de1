#pragma once

#include "device/detect/supported_interfaces.h"

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

private:
    mutable std::mutex m_lock;
    std::vector<SupportedInterface> m_rows;
    std::size_t m_size;
};

} // namespace detect
