#pragma once

// Shared by the Windows backend files only: the system's own words for an error code, and
// an owner for kernel handles.

#include "platform/result.h"

#include <filesystem>
#include <string>
#include <windows.h>

namespace platform::windows {

// A path as messages show it: UTF-8, whatever the code page.
std::string displayName(const std::filesystem::path& path);

// "<what>: <the system's message> (<code>)", UTF-8.
std::string errorText(const std::string& what, DWORD code = GetLastError());
Error systemError(const std::string& what, DWORD code = GetLastError());

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() { close(); }
    Handle(Handle&& other) noexcept : m_handle(other.release()) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            close();
            m_handle = other.release();
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    bool isValid() const { return m_handle != nullptr; }
    HANDLE release()
    {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void close()
    {
        if (m_handle != nullptr)
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};

} // namespace platform::windows
