#include "support/run_command.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_service.h"

#include <gtest/gtest.h>

#include <fstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using testing_support::ScopedEnvironment;

// halvekctl update check against the local HTTPS service, with the user's own folders
// and proxy settings out of the way.
class UpdateCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::builtProgramExists("halvekctl"))
            GTEST_SKIP() << "halvekctl is not built";
#ifdef _WIN32
        GTEST_SKIP() << "the HTTPS test service is a Linux program, and WinHTTP takes no extra "
                        "CA file yet";
#endif
        if (!testing_support::testServiceAvailable())
            GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
        std::ofstream(m_folder / "answer.json")
            << R"({"name":"AP","version":"2400","version_name":"2.4.0.0","path":"https://x/a"})";
        m_service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
            "https", "--certs", testing_support::testCertificates().string(), "--answer",
            (m_folder / "answer.json").string()});
        ASSERT_NE(m_service->port(), 0);
    }

    testing_support::CommandRun check(const std::string& extra)
    {
        return testing_support::runBuiltProgram(
            "halvekctl", "update check --url " + m_service->url("/api/") + " " + extra);
    }
    std::string caOption() const
    {
        return "--ca " + testing_support::shellWord(testing_support::testCertificates() / "ca.pem");
    }

    testing_support::TempDir m_folder;
    ScopedEnvironment m_config{"XDG_CONFIG_HOME", (m_folder / "config").string()};
    ScopedEnvironment m_data{"XDG_DATA_HOME", (m_folder / "data").string()};
    ScopedEnvironment m_proxy{"https_proxy", std::nullopt};
    std::unique_ptr<testing_support::TestService> m_service;
};

TEST_F(UpdateCommand, PrintsCurrentAndLatestVersions)
{
    const auto run = check(caOption());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("AP       current V2.3.0.2   latest 2.4.0.0    update available"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(
        std::filesystem::exists(m_folder / "data" / "SPhalvek2vizudi" / "updatetime.config"));
}

TEST_F(UpdateCommand, ErrorStatusAndWrongShapesAreNoAnswer)
{
    const std::string ca = caOption();
    auto run = testing_support::runBuiltProgram(
        "halvekctl", "update check --url " + m_service->url("/api/status500/") + " " + ca);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("answered with status 500"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("no answer"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("up to date"), std::string::npos) << run.output;

    for (const char* answer :
         {R"({"name":5,"path":[1],"version":{}})", R"({"name":"AP","version":"none"})"}) {
        std::ofstream(m_folder / "answer.json", std::ios::trunc) << answer;
        run = check(ca);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("no valid answer"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("up to date"), std::string::npos) << run.output;
    }
}

// The emulated keyboard's check is refused, the application's answered: the last line names
// the refused one.
TEST_F(UpdateCommand, TheSummaryNamesAFailedCheckAmongAnsweredOnes)
{
    std::ofstream(m_folder / "answer.json", std::ios::trunc) << R"({"name":"x","version":"0001"})";
    const auto run = testing_support::runBuiltProgram(
        "halvekctl",
        "--simulate update check --url " + m_service->url("/api/fail-KB/") + " " + caOption());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("KB       current V0100      latest -          no answer"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("AP       current V2.3.0.2   latest -          up to date"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Not checked: KB. The rest is up to date"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Everything is up to date"), std::string::npos) << run.output;
}

TEST_F(UpdateCommand, FoldersAndFilesAreOwnerOnlyWhateverTheUmask)
{
#ifdef _WIN32
    GTEST_SKIP() << "no umask or mode bits on Windows";
#else
    ScopedEnvironment cache("XDG_CACHE_HOME", (m_folder / "cache").string());
    const mode_t old = ::umask(022);
    // A folder left open by an earlier version is closed at start.
    std::filesystem::create_directories(m_folder / "data" / "SPhalvek2vizudi" / "old");
    std::filesystem::permissions(m_folder / "data" / "SPhalvek2vizudi",
                                 std::filesystem::perms(0755));
    std::ofstream(m_folder / "data" / "SPhalvek2vizudi" / "old" / "macro.config") << "{}";
    std::filesystem::permissions(m_folder / "data" / "SPhalvek2vizudi" / "old" / "macro.config",
                                 std::filesystem::perms(0644));
    const auto run = check(caOption());
    ::umask(old);
    EXPECT_EQ(run.status, 0) << run.output;
    auto mode = [](const std::filesystem::path& path) {
        return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777u;
    };
    const auto data = m_folder / "data" / "SPhalvek2vizudi";
    EXPECT_EQ(mode(data), 0700u);
    EXPECT_EQ(mode(data / "old"), 0700u);
    EXPECT_EQ(mode(data / "old" / "macro.config"), 0600u);
    EXPECT_EQ(mode(data / "updatetime.config"), 0600u);
    EXPECT_EQ(mode(m_folder / "config" / "SPhalvek2vizudi"), 0700u);
    EXPECT_EQ(mode(m_folder / "cache" / "SPhalvek2vizudi"), 0700u);
#endif
}

TEST_F(UpdateCommand, UnverifiedCertificateIsAnErrorNamingTheHost)
{
    const auto run = check("");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("the certificate of 127.0.0.1 does not verify"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("no answer"), std::string::npos);
}

// Needs no service: it runs everywhere.
TEST(UpdateCommandAlone, NoServiceConfiguredSendsNothing)
{
    if (!testing_support::builtProgramExists("halvekctl"))
        GTEST_SKIP() << "halvekctl is not built";
    testing_support::TempDir folder;
    ScopedEnvironment config{"XDG_CONFIG_HOME", (folder / "config").string()};
    ScopedEnvironment data{"XDG_DATA_HOME", (folder / "data").string()};
    ScopedEnvironment roaming{"APPDATA", (folder / "data").string()};
    ScopedEnvironment local{"LOCALAPPDATA", (folder / "cache").string()};
    const auto run = testing_support::runBuiltProgram("halvekctl", "update check");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("no update service is configured"), std::string::npos) << run.output;
    EXPECT_EQ(testing_support::runBuiltProgram("halvekctl", "update frobnicate").status, 2);
}

} // namespace
