#pragma once

#include <cstdint>

namespace testing_support {

// A disk that takes at most `bytesPerFile` bytes into any one file while this lives: writes
// past that fail (on Linux through the file size limit, which the programs a test starts
// inherit), while creating, renaming and deleting files still work, as on a full disk. As
// root, where a read-only folder stops nothing, it is the way to make a write fail.
class FullDisk {
public:
    explicit FullDisk(std::uint64_t bytesPerFile = 0);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // False where the system has no such limit; the test skips itself then.
    static bool isAvailable();

private:
    std::uint64_t m_previousLimit = 0;
    bool m_set = false;
};

} // namespace testing_support
