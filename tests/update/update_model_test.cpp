#include "update/update_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using update::DeviceKind;
using update::DeviceTile;

update::UpdateEntry keyboardEntry(std::uint32_t version)
{
    return update::entryFor(update::updateModels()[1], version);
}

update::UpdateEntry applicationEntry(std::uint32_t version)
{
    return update::entryFor(update::updateModels()[update::kApplicationRow], version);
}

std::string bodyText(const std::vector<std::uint8_t>& body)
{
    return std::string(body.begin(), body.end());
}

TEST(UpdateRequest, FirmwareVersionIsSentInHexWithoutLeadingZeros)
{
    const auto entry = keyboardEntry(0x0102);
    EXPECT_EQ(update::buildAppKey(entry), L"NOVIK_1_HK2402_KB_1");
    EXPECT_EQ(bodyText(update::buildRequestBody(update::buildAppKey(entry), entry)),
              std::string("app_key=NOVIK_1_HK2402_KB_1&version=102") + '\0');
    EXPECT_EQ(update::currentVersionText(entry), L"V0102");
}

TEST(UpdateRequest, ApplicationVersionLosesItsDots)
{
    EXPECT_EQ(update::applicationVersionFromText(L"2.3.0.2"), 2302u);
    const auto entry = applicationEntry(2302);
    EXPECT_EQ(bodyText(update::buildRequestBody(update::buildAppKey(entry), entry)),
              std::string("app_key=NOVIK_0_ALL_HALVEK_1&version=2302") + '\0');
    EXPECT_EQ(update::buildAppKey(applicationEntry(0)), L"NULL");
}

TEST(UpdateRequest, VersionTextsParseWithSaturation)
{
    EXPECT_EQ(update::applicationVersionFromText(L""), 0u);
    EXPECT_EQ(update::applicationVersionFromText(L"beta"), 0u);
    EXPECT_EQ(update::applicationVersionFromText(L"99999999999999999999"), 0xFFFFFFFFu);
    EXPECT_EQ(update::parseVersionNumber(L" 0103", 16), 0x0103u);
    EXPECT_EQ(update::parseVersionNumber(L"12ab", 10), 12u);
    EXPECT_EQ(update::parseVersionNumber(L"-5", 10), 0u);
}

TEST(UpdateEntries, TileOfAnotherKindIsNotCheckedAsTheRowsDevice)
{
    // A mouse pad or headset arriving third must not be offered the second keyboard's firmware.
    const std::vector<DeviceTile> tiles{{DeviceKind::Mouse, false, 0x0200},
                                        {DeviceKind::Keyboard, true, 0x0102},
                                        {DeviceKind::Mouse, true, 0x0300}};
    const auto entries = update::buildEntries(tiles, 2302);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].typeWord, L"KB");
    EXPECT_EQ(entries[0].currentVersion, 0x0102u);
    EXPECT_EQ(entries[1].modelId, L"ALL");
    // No tiles at all: only the application.
    EXPECT_EQ(update::buildEntries({}, 2302).size(), 1u);
    EXPECT_TRUE(update::buildEntries({}, 0).empty());
}

TEST(UpdateAnswer, NewerFirmwareIsOffered)
{
    const auto record = update::parseAnswer(
        R"({"path":"https://h/x.bin","name":"KB fw","version_name":"1.3","version":"0103",
            "device_id":7})",
        keyboardEntry(0x0102));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->status, update::kStatusNewer);
    EXPECT_EQ(record->latestVersionText, L"V0103");
    EXPECT_EQ(record->currentVersionText, L"V0102");
    EXPECT_EQ(record->deviceId, 7);
    EXPECT_EQ(record->downloadPath, L"https://h/x.bin");
    EXPECT_EQ(record->localFile, L"KB fw.exe");
}

TEST(UpdateAnswer, ApplicationShowsTheVersionNameAndOneCurrentVersionText)
{
    const auto entries =
        update::buildEntries({}, 2302, update::applicationVersionLabel(L"2.3.0.2"));
    ASSERT_EQ(entries.size(), 1u);
    const auto record = update::parseAnswer(
        R"({"name":"AP","version_name":"2.4.0.0","version":"2400"})", entries[0]);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->status, update::kStatusNewer);
    EXPECT_EQ(record->latestVersionText, L"2.4.0.0");
    // Answered or not, the row names the version the same way (it read "V2302" once
    // answered and "V1.0" before).
    EXPECT_EQ(record->currentVersionText, L"V2.3.0.2");
    EXPECT_EQ(update::placeholderRecord(entries[0]).currentVersionText, L"V2.3.0.2");
    // Without a label the table's own text stands, in both states.
    const auto plain = applicationEntry(2302);
    EXPECT_EQ(update::placeholderRecord(plain).currentVersionText,
              update::parseAnswer(R"({"version":"2400"})", plain)->currentVersionText);
}

TEST(UpdateAnswer, AnswersOfTheWrongShapeAreRefusedWithTheReason)
{
    const auto entry = keyboardEntry(0x0102);
    // None of these says anything about the versions: never "up to date".
    const std::pair<const char*, const char*> refused[] = {
        {R"({"name":5,"path":[1],"version":{}})", "\"version\" is not a string"},
        {R"({"version":"0103","name":5})", "\"name\" is not a string"},
        {R"({"version":"0103","device_id":"x"})", "\"device_id\""},
        {R"({"version":"0103","size":-1})", "\"size\""},
        {R"({"name":"KB"})", "no \"version\""},
        {R"({"version":""})", "\"version\" holds no version number"},
        {R"({"version":" v1.3"})", "\"version\" holds no version number"},
        {R"({"version":"G1"})", "\"version\" holds no version number"},
        {R"([1,2,3])", "not a JSON object"},
        {"null", "not a JSON object"},
        {"<html>502</html>", "not JSON"},
        {"", "not JSON"},
    };
    for (const auto& [answer, reason] : refused) {
        std::string problem;
        EXPECT_FALSE(update::parseAnswer(answer, entry, &problem)) << answer;
        EXPECT_NE(problem.find(reason), std::string::npos) << answer << ": " << problem;
    }
    // Members it does not read may be anything.
    EXPECT_TRUE(update::parseAnswer(R"({"version":"0101","extra":[1,{}]})", entry));
    // A letter is a digit only of a firmware's version.
    EXPECT_FALSE(update::parseAnswer(R"({"version":"A1"})", applicationEntry(2302)));
    EXPECT_EQ(update::parseAnswer(R"({"version":"0"})", entry)->status, update::kStatusUpToDate);
}

TEST(UpdateFileName, RowsGivenOneNameGetAFileEach)
{
    const std::vector<std::wstring> taken{L"fw.exe", L"FW-KB.exe"};
    EXPECT_EQ(update::distinctLocalFile(L"other.exe", L"KB", taken), L"other.exe");
    EXPECT_EQ(update::distinctLocalFile(L"fw.exe", L"MS", taken), L"fw-MS.exe");
    EXPECT_EQ(update::distinctLocalFile(L"Fw.exe", L"KB", taken), L"Fw-KB-2.exe");
    EXPECT_EQ(update::distinctLocalFile(L"fw.exe", L"../x", taken), L"fw-x.exe");
}

TEST(UpdateFileName, HostileNamesStayInsideTheUpdateFolder)
{
    const std::filesystem::path folder = "/cache/UpdateData";
    for (const wchar_t* name : {L"..\\..\\x", L"../../x", L"C:\\x", L"/etc/passwd", L".", L"..",
                                L"./.", L"a/../../b", L"\x01\x02", L"...x"}) {
        const std::wstring safe = update::safeFileName(name, L"KB");
        const auto path = (folder / std::filesystem::path(safe)).lexically_normal();
        EXPECT_EQ(path.parent_path(), folder) << std::filesystem::path(name);
        EXPECT_EQ(safe.find(L".."), std::wstring::npos);
        EXPECT_EQ(safe.find_first_of(L"/\\:"), std::wstring::npos);
        EXPECT_FALSE(safe.empty());
    }
    EXPECT_EQ(update::safeFileName(L"..\\..\\x", L"KB"), L"x");
    EXPECT_EQ(update::safeFileName(L"..", L"KB"), L"KB");
    EXPECT_EQ(update::safeFileName(L"KB fw 1.3", L"KB"), L"KB fw 1.3");
    // A long name cut just after a dot must not end in one (".exe" follows).
    const std::wstring cutAtDot = update::safeFileName(std::wstring(119, L'a') + L".bbbb", L"KB");
    EXPECT_EQ(cutAtDot, std::wstring(119, L'a'));
}

TEST(UpdateWindowState, FollowsTheRecordsAndFailures)
{
    std::vector<update::UpdateRecord> records(2);
    records[0].name = L"MS";
    records[1].name = L"KB";
    EXPECT_EQ(update::finalWindowState(records), update::WindowState::UpToDate);
    records[0].checkFailed = true;
    EXPECT_EQ(update::finalWindowState(records), update::WindowState::SomeUnanswered);
    EXPECT_EQ(update::uncheckedNames(records), L"MS");
    records[1].checkFailed = true;
    EXPECT_EQ(update::finalWindowState(records), update::WindowState::NoAnswer);
    EXPECT_EQ(update::uncheckedNames(records), L"MS, KB");
    records[1].checkFailed = false;
    records[1].status = update::kStatusNewer;
    EXPECT_EQ(update::finalWindowState(records), update::WindowState::UpdatesFound);
}

} // namespace
