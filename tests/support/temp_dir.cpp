#include "support/temp_dir.h"

#include <atomic>
#include <random>
#include <string>

namespace testing_support {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    // Random enough to stay apart from other test processes without asking for their ids.
    const auto name = "halvek-test-" + std::to_string(random()) + "-" + std::to_string(counter++) +
                      "-" + std::to_string(random());
    m_path = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace testing_support
