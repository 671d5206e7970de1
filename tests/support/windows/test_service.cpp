#include "support/test_service.h"

namespace testing_support {

// The service is a Python program of the build machine; the tests that need it say so and
// skip under Wine.
TestService::TestService(const std::vector<std::string>&) {}

TestService::~TestService() = default;

std::string TestService::url(std::string_view) const
{
    return {};
}

bool testServiceAvailable()
{
    return false;
}

const std::filesystem::path& testCertificates()
{
    static const std::filesystem::path none;
    return none;
}

} // namespace testing_support
