#pragma once

#include <filesystem>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes. Tests never touch the user's own folders.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& child) const
    {
        return m_path / child;
    }

private:
    std::filesystem::path m_path;
};

} // namespace testing_support
