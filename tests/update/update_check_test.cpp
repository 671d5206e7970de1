#include "update/update_check.h"
#include "update/update_time.h"

#include "platform/settings_store.h"
#include "platform/text.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_service.h"

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

namespace {

using update::UpdateNotice;

std::wstring wide(const std::string& narrow)
{
    return std::wstring(narrow.begin(), narrow.end());
}

TEST(UpdateCheckWithoutService, SendsNothingAndSaysSo)
{
    platform::HttpClient client;
    std::vector<UpdateNotice> notices;
    update::runChecks(client, {}, {update::entryFor(update::updateModels()[1], 0x0102)},
                      [&](UpdateNotice&& notice) { notices.push_back(std::move(notice)); });
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, UpdateNotice::Kind::NotConfigured);
    EXPECT_EQ(notices[0].detail, L"no update service is configured");
}

TEST(UpdateLastCheck, DateIsWrittenWithoutLeadingZerosAndReadBack)
{
    testing_support::TempDir folder;
    EXPECT_EQ(update::formatCheckDate(2026, 3, 9), L"2026-3-9");
    EXPECT_FALSE(update::readLastCheckDate(folder.path()));
    ASSERT_TRUE(update::writeLastCheckDate(folder.path(), L"2026-3-9"));
    EXPECT_EQ(update::readLastCheckDate(folder.path()), L"2026-3-9");
    std::ofstream(folder / update::kLastCheckFileName) << R"({"updatelasttime":{"value":7}})";
    EXPECT_FALSE(update::readLastCheckDate(folder.path()));
}

TEST(UpdateSettings, ApplicationVersionTakesOnlyATextValue)
{
    testing_support::TempDir folder;
    testing_support::ScopedEnvironment config("XDG_CONFIG_HOME", folder.path().string());
    EXPECT_EQ(update::applicationVersion(), 2302u);
    platform::SettingsStore store(platform::SettingsStore::defaultFile());
    ASSERT_TRUE(store.setText(update::kVersionSetting, L"3.1.0.0"));
    EXPECT_EQ(update::applicationVersion(), 3100u);
    // A number where text belongs counts as missing: the application is not checked.
    ASSERT_TRUE(store.setInteger(update::kVersionSetting, 3100));
    EXPECT_EQ(update::applicationVersion(), 0u);
    ASSERT_TRUE(store.setText(update::kBaseUrlSetting, L"https://updates.example/api/"));
    ASSERT_TRUE(store.setText(update::kProxySetting, L"http://127.0.0.1:3128"));
    const auto settings = update::configFromSettings();
    EXPECT_EQ(settings.baseUrl, L"https://updates.example/api/");
    EXPECT_EQ(settings.proxy, "http://127.0.0.1:3128");
    EXPECT_TRUE(settings.extraCaFile.empty());
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::testServiceAvailable())
            GTEST_SKIP() << "python3 and openssl are needed for the HTTPS tests";
        m_answer = m_folder / "answer.json";
        setAnswer("{}");
        m_service = std::make_unique<testing_support::TestService>(std::vector<std::string>{
            "https", "--certs", testing_support::testCertificates().string(), "--answer",
            m_answer.string()});
        ASSERT_NE(m_service->port(), 0);
        m_config.baseUrl = wide(m_service->url("/api/"));
        m_config.extraCaFile = testing_support::testCertificates() / "ca.pem";
        m_config.lastCheckFolder = m_folder / "data";
    }

    void setAnswer(const std::string& json) { std::ofstream(m_answer, std::ios::trunc) << json; }

    std::vector<UpdateNotice> run(const std::vector<update::UpdateEntry>& entries)
    {
        std::vector<UpdateNotice> notices;
        platform::HttpClient client;
        update::runChecks(client, m_config, entries,
                          [&](UpdateNotice&& notice) { notices.push_back(std::move(notice)); });
        return notices;
    }

    testing_support::ScopedEnvironment m_noProxy{"https_proxy", std::nullopt};
    testing_support::TempDir m_folder;
    std::filesystem::path m_answer;
    std::unique_ptr<testing_support::TestService> m_service;
    update::UpdateServiceConfig m_config;
};

TEST_F(UpdateCheckTest, HostileFileNameFromTheServiceStaysInTheUpdateFolder)
{
    setAnswer(R"({"path":"https://127.0.0.1/fw.bin","name":"..\\..\\x","version":"0103"})");
    const auto entry = update::entryFor(update::updateModels()[1], 0x0102);
    platform::HttpClient client;
    const auto result = update::checkUpdate(client, m_config, entry);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.record.status, update::kStatusNewer);
    EXPECT_EQ(result.record.localFile, L"x.exe");
}

TEST_F(UpdateCheckTest, NoticesListEveryEntryThenTheirAnswers)
{
    setAnswer(R"({"name":"KB","version":"0103","version_name":"1.3"})");
    const auto notices = run({update::entryFor(update::updateModels()[1], 0x0102),
                              update::entryFor(update::updateModels()[1], 0x0200)});
    ASSERT_EQ(notices.size(), 6u);
    EXPECT_EQ(notices[0].kind, UpdateNotice::Kind::Checking);
    EXPECT_EQ(notices[1].kind, UpdateNotice::Kind::AddItem);
    EXPECT_EQ(notices[1].record.currentVersionText, L"V0102");
    EXPECT_EQ(notices[3].kind, UpdateNotice::Kind::UpdateItem);
    EXPECT_EQ(notices[3].record.status, update::kStatusNewer);
    EXPECT_EQ(notices[4].record.status, update::kStatusUpToDate);
    // One name in both answers: each row still downloads into a file of its own.
    EXPECT_EQ(notices[3].record.localFile, L"KB.exe");
    EXPECT_EQ(notices[4].record.localFile, L"KB-KB.exe");
    EXPECT_EQ(notices[5].kind, UpdateNotice::Kind::Finished);
    EXPECT_EQ(notices[5].state, update::WindowState::UpdatesFound);
    EXPECT_EQ(update::readLastCheckDate(m_config.lastCheckFolder), update::todayCheckDate());
}

TEST_F(UpdateCheckTest, UnverifiedServiceCountsAsNoAnswerAndNamesTheHost)
{
    m_config.extraCaFile.clear();
    platform::HttpClient client;
    const auto result =
        update::checkUpdate(client, m_config, update::entryFor(update::updateModels()[1], 1));
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.error.code, platform::HttpErrorCode::Certificate);
    EXPECT_NE(result.error.message.find("127.0.0.1"), std::string::npos);
    const auto notices = run({update::entryFor(update::updateModels()[1], 1)});
    EXPECT_EQ(notices.back().state, update::WindowState::NoAnswer);
}

TEST_F(UpdateCheckTest, ConfiguredProxyCarriesTheCheck)
{
    const auto proxyLog = m_folder / "proxy.log";
    testing_support::TestService proxy({"proxy", "--log", proxyLog.string()});
    ASSERT_NE(proxy.port(), 0);
    m_config.proxy = "http://127.0.0.1:" + std::to_string(proxy.port());
    setAnswer(R"({"version":"0103"})");
    platform::HttpClient client;
    const auto result =
        update::checkUpdate(client, m_config, update::entryFor(update::updateModels()[1], 0x0102));
    EXPECT_EQ(result.record.status, update::kStatusNewer);
    EXPECT_EQ(testing_support::readLines(proxyLog).size(), 1u);
}

TEST_F(UpdateCheckTest, ErrorStatusAndBadAnswersAreNoAnswerNeverUpToDate)
{
    const auto entry = update::entryFor(update::updateModels()[1], 0x0102);
    struct Case {
        const char* answer;
        const char* base;
        const char* said;
    };
    for (const Case& c :
         {Case{R"({"version":"0103"})", "/api/status500/", "status 500"},
          Case{"<html>busy</html>", "/api/", "not JSON"},
          Case{R"({"name":5,"path":[1],"version":{}})", "/api/", "\"version\" is not a string"},
          Case{R"({"version":"none"})", "/api/", "\"version\" holds no version number"},
          Case{R"({"version":""})", "/api/", "\"version\" holds no version number"},
          // Whole JSON, in a third of the length its headers announce.
          Case{R"({"version":"0103"})", "/api/short/",
               "ended the answer after 18 of the 54 bytes it announced"},
          Case{"", "/api/", "empty"}}) {
        setAnswer(c.answer);
        m_config.baseUrl = wide(m_service->url(c.base));
        const auto notices = run({entry});
        ASSERT_EQ(notices.size(), 4u) << c.answer;
        EXPECT_EQ(notices[2].kind, UpdateNotice::Kind::UpdateItem);
        EXPECT_NE(platform::toUtf8(notices[2].detail).find(c.said), std::string::npos)
            << c.answer << ": " << platform::toUtf8(notices[2].detail);
        EXPECT_EQ(notices[2].record.status, update::kStatusUpToDate); // the placeholder's
        EXPECT_EQ(notices[2].record.currentVersionText, L"V0102");
        EXPECT_EQ(notices.back().state, update::WindowState::NoAnswer) << c.answer;
    }
}

// One row answered, one refused: the summary names the failed row, never "up to date".
TEST_F(UpdateCheckTest, AFailedRowAmongAnsweredOnesIsNamedInTheSummary)
{
    setAnswer(R"({"version":"0101"})");
    m_config.baseUrl = wide(m_service->url("/api/fail-KB/"));
    const auto notices = run({update::entryFor(update::updateModels()[0], 0x0102),
                              update::entryFor(update::updateModels()[1], 0x0102)});
    ASSERT_EQ(notices.size(), 6u);
    EXPECT_FALSE(notices[3].record.checkFailed);
    EXPECT_TRUE(notices[4].record.checkFailed);
    EXPECT_EQ(notices[5].kind, UpdateNotice::Kind::Finished);
    EXPECT_EQ(notices[5].state, update::WindowState::SomeUnanswered);
    EXPECT_EQ(notices[5].detail, L"KB");
}

TEST_F(UpdateCheckTest, StopEndsTheThreadInTheMiddleOfARequest)
{
    m_config.baseUrl = wide(m_service->url("/slow?"));
    std::mutex lock;
    std::vector<UpdateNotice> notices;
    update::UpdateCheckThread thread;
    ASSERT_TRUE(thread.start(m_config, {update::entryFor(update::updateModels()[1], 1)},
                             [&](UpdateNotice&& notice) {
                                 std::lock_guard guard(lock);
                                 notices.push_back(std::move(notice));
                             }));
    EXPECT_TRUE(thread.stop(std::chrono::milliseconds(3000)));
    std::lock_guard guard(lock);
    for (const auto& notice : notices)
        EXPECT_NE(notice.kind, UpdateNotice::Kind::Finished);
}

} // namespace
