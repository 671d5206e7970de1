#include "support/full_disk.h"

#include <csignal>
#include <sys/resource.h>

namespace testing_support {

FullDisk::FullDisk(std::uint64_t bytesPerFile)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_previousLimit = limit.rlim_cur;
    // A write past the limit would otherwise end the process; ignored, it fails with EFBIG.
    std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytesPerFile);
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FullDisk::~FullDisk()
{
    if (!m_set)
        return;
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_previousLimit);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

bool FullDisk::isAvailable()
{
    return true;
}

} // namespace testing_support
