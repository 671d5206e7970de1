// The WinHTTP client's certificate checks against the HTTPS test service, which
// tests/platform/windows_https_services.sh starts beside Wine; skipped when run without it.

#include "platform/http.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring address(const char* portVariable)
{
    const char* port = std::getenv(portVariable);
    // By name: Wine matches a certificate's DNS names, not its IP addresses.
    return port ? L"https://localhost:" + std::wstring(port, port + std::strlen(port)) + L"/echo"
                : std::wstring();
}

class WindowsHttpsService : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ca.empty() || self.empty() || !std::getenv("HALVEK_TEST_CA_FILE"))
            GTEST_SKIP() << "run by windows_https_services.sh, which starts the services";
        caFile = std::getenv("HALVEK_TEST_CA_FILE");
    }

    // The bytes of the answer, or -1 with the error kept when there was none.
    std::int64_t ask(const std::wstring& url)
    {
        std::vector<std::uint8_t> response(4096);
        const auto got = client.request(L"GET", url, {}, response, platform::ProxyUse::Named);
        return got > 0 ? got : -1;
    }

    platform::HttpClient client;
    std::wstring ca = address("HALVEK_TEST_HTTPS_CA_PORT");
    std::wstring self = address("HALVEK_TEST_HTTPS_SELF_PORT");
    std::string caFile;
};

} // namespace

TEST_F(WindowsHttpsService, AnAuthorityOnlyTheExtraFileNamesIsTrustedForItsServersAlone)
{
    EXPECT_EQ(ask(ca), -1) << "the system does not know the test authority";
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::Certificate)
        << client.lastError().message;

    client.settings().extraCaFile = caFile;
    EXPECT_GT(ask(ca), 0) << client.lastError().message;
    EXPECT_EQ(ask(self), -1) << "a self-signed server is not one of the file's";
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::Certificate)
        << client.lastError().message;
}

TEST_F(WindowsHttpsService, AnExtraFileThatCannotBeUsedRefusesEveryRequest)
{
    client.settings().extraCaFile = caFile + ".missing";
    EXPECT_EQ(ask(ca), -1);
    EXPECT_EQ(client.lastError().code, platform::HttpErrorCode::Certificate);
    EXPECT_NE(client.lastError().message.find("ca.pem.missing"), std::string::npos)
        << client.lastError().message;
}
