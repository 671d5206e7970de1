#include "support/full_disk.h"

namespace testing_support {

// Windows has no per-file size limit to stand in for a full disk.
FullDisk::FullDisk(std::uint64_t) {}

FullDisk::~FullDisk() = default;

bool FullDisk::isAvailable()
{
    return false;
}

} // namespace testing_support
