#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// tests/support/test_server.py in its own process: an HTTPS service with a test CA, or a
// CONNECT proxy, on 127.0.0.1 only. It ends by itself after its lifetime and is killed
// when the object goes.
class TestService {
public:
    explicit TestService(const std::vector<std::string>& arguments);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    // 0 when the service did not come up.
    int port() const { return m_port; }
    std::string url(std::string_view path) const;

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

// Whether python3 and openssl can be run here.
bool testServiceAvailable();

// The test certificates (ca.pem, server.pem, self.pem with their keys), made once per test
// process in a folder removed at exit.
const std::filesystem::path& testCertificates();

// Every line of a file; none when it is missing.
std::vector<std::string> readLines(const std::filesystem::path& file);

} // namespace testing_support
