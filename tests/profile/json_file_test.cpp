#include "profile/json_access.h"
#include "profile/json_file.h"

#include "platform/debug_output.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace profile;
using testing_support::TempDir;

namespace {

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(JsonFile, TimestampIdPadsEveryFieldButTheYear)
{
    EXPECT_EQ(formatTimestampId(2023, 7, 18, 9, 5, 3, 42), "2023_07_18_09_05_03_042");
    const std::string made = CJsonFile::MakeTimestampId();
    ASSERT_EQ(made.size(), 23u);
    EXPECT_EQ(made[4], '_');
    EXPECT_EQ(made[19], '_');
}

TEST(JsonFile, WritesStyledSortedCrLfWithExtraLineEnd)
{
    TempDir dir;
    Json::Value value;
    value["profilename"] = "profile1";
    value["profileUUID"] = "2023_07_18_09_05_03_042";
    value["Device"][0]["LightInfo"]["Red"] = 255;
    ASSERT_EQ(CJsonFile().WriteJson(dir / "p.Json", value), 0);
    const std::string bytes = fileBytes(dir / "p.Json");
    EXPECT_EQ(bytes.rfind("{\r\n   \"Device\" : [\r\n", 0), 0u);
    EXPECT_LT(bytes.find("\"profileUUID\""), bytes.find("\"profilename\""));
    EXPECT_EQ(bytes.substr(bytes.size() - 5), "}\r\n\r\n");
    EXPECT_EQ(bytes.find("\n\n"), std::string::npos); // every line end is CR LF
    EXPECT_EQ(CJsonFile().ReadJson(dir / "p.Json"), value);
}

TEST(JsonFile, MissingEmptyMalformedAndOversizedReadAsNullWithTheirReason)
{
    TempDir dir;
    EXPECT_EQ(readJsonDocument(dir / "none.Json").state, ReadState::Missing);
    writeBytes(dir / "empty.Json", "");
    EXPECT_EQ(readJsonDocument(dir / "empty.Json").state, ReadState::Malformed);
    writeBytes(dir / "bad.Json", "{\"a\": [1, 2");
    EXPECT_EQ(readJsonDocument(dir / "bad.Json").state, ReadState::Malformed);
    EXPECT_TRUE(CJsonFile().ReadJson(dir / "bad.Json").isNull());
    std::filesystem::create_directory(dir / "folder.Json");
    EXPECT_EQ(readJsonDocument(dir / "folder.Json").state, ReadState::Unreadable);
    {
        std::ofstream big(dir / "big.Json", std::ios::binary);
        big.seekp(static_cast<std::streamoff>(kMaxJsonFileSize));
        big.put(' ');
    }
    EXPECT_EQ(readJsonDocument(dir / "big.Json").state, ReadState::Unreadable);
    EXPECT_TRUE(CJsonFile().ReadText(dir / "big.Json").empty());
}

TEST(JsonFile, CommentsAreAllowedAndDeepNestingIsRefused)
{
    EXPECT_TRUE(parseJson("// note\n{\"a\": 1 /* one */}").has_value());
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_FALSE(parseJson(deep).has_value());
}

TEST(JsonFile, FailedWriteKeepsTheOldFileAndReportsIt)
{
    TempDir dir;
    const auto path = dir / "keep.Json";
    writeBytes(path, "{\"kept\": 1}");
    // A folder in the way of the rename makes the replace fail.
    EXPECT_NE(CJsonFile().WriteJson(dir / "missing-folder" / "x.Json", Json::Value(1)), 0);
    std::filesystem::create_directory(dir / "blocked.Json");
    std::filesystem::create_directory(dir / "blocked.Json" / "inside");
    EXPECT_NE(CJsonFile().WriteJson(dir / "blocked.Json", Json::Value(1)), 0);
    EXPECT_EQ(fileBytes(path), "{\"kept\": 1}");
    // No temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

TEST(JsonFile, WriterKilledMidWriteLeavesAFileThatParses)
{
    TempDir dir;
    const auto path = dir / "profile.Json";
    Json::Value big;
    for (int i = 0; i < 20000; ++i)
        big["KeyList"][i]["Assignment"] = i;
    ASSERT_EQ(CJsonFile().WriteJson(path, big), 0);
    // A child rewrites the file over and over until it is killed at an arbitrary point.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        Json::Value other = big;
        other["generation"] = 1;
        for (int i = 0;; ++i) {
            other["generation"] = i;
            CJsonFile().WriteJson(path, other);
            if (i == 3)
                (void)!write(ready[1], "x", 1);
        }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    const JsonDocument document = readJsonDocument(path);
    ASSERT_EQ(document.state, ReadState::Ok);
    EXPECT_EQ(json::arraySize(json::member(document.value, "KeyList")), 20000u);
}

TEST(JsonFile, ReadForRewriteSetsDamagedFilesAsideAndRefusesUnreadableOnes)
{
    TempDir dir;
    EXPECT_TRUE(readForRewrite(dir / "new.Json").value().isNull());
    writeBytes(dir / "bad.Json", "{oops");
    writeBytes(dir / "bad.Json.corrupt", "earlier copy");
    EXPECT_TRUE(readForRewrite(dir / "bad.Json").value().isNull());
    EXPECT_EQ(fileBytes(dir / "bad.Json.corrupt"), "earlier copy");
    EXPECT_EQ(fileBytes(dir / "bad.Json.corrupt1"), "{oops");
    std::filesystem::create_directory(dir / "dir.Json");
    EXPECT_FALSE(readForRewrite(dir / "dir.Json").has_value());
}

TEST(FileNames, NamesFromFilesStayInTheirFolder)
{
    EXPECT_TRUE(isSafeFileStem("2023_07_18_09_05_03_042"));
    for (const char* bad : {"", "..", "../x", "a/b", "a\\b", "C:x", "/etc/passwd", "a\nb", "x..y"})
        EXPECT_FALSE(isSafeFileStem(bad)) << bad;
    EXPECT_FALSE(fileInFolder("/data", "..\\..\\x", ".Json"));
    EXPECT_EQ(fileInFolder("/data", "abc", ".mac"), std::filesystem::path("/data/abc.mac"));
    EXPECT_EQ(CJsonFile::GetFileTitle("/home/u/My.json"), L"My");
    EXPECT_EQ(CJsonFile::GetFileTitle("C:\\x\\My.file.json"), L"My.file");
}

TEST(JsonAccess, WrongTypesReadAsMissingAndNumbersKeepTheLowBitsOfTheirField)
{
    const auto doc = parseJson(R"({"s": "12", "o": {}, "a": [1], "big": 4294967295, "f": 3.9,
        "neg": -5, "huge": 1e300, "t": true, "wide": 70000, "dev": 5})")
                         .value();
    using namespace profile::json;
    EXPECT_EQ(toInt32(member(doc, "s")), std::nullopt);
    EXPECT_EQ(readInt(member(doc, "o")), 0);
    EXPECT_EQ(readInt(member(doc, "a")), 0);
    EXPECT_EQ(readInt(member(doc, "big")), -1); // low 32 bits
    EXPECT_EQ(readInt(member(doc, "f")), 3);
    EXPECT_EQ(readInt(member(doc, "huge")), 0);
    EXPECT_EQ(readInt(member(doc, "t")), 1);
    EXPECT_EQ(readByte(member(doc, "neg")), 251);
    EXPECT_EQ(readByte(member(doc, "wide")), 0x70); // 70000 is 0x11170
    EXPECT_EQ(readU16(member(doc, "wide")), 0x1170);
    EXPECT_TRUE(member(member(doc, "dev"), "x").isNull()); // "Device": 5 is not an object
    EXPECT_TRUE(element(member(doc, "dev"), 0).isNull());
    EXPECT_TRUE(element(member(doc, "a"), -1).isNull());
    EXPECT_EQ(readString(member(doc, "big")), "");
    Json::Value store = 5;
    arrayElement(objectMember(store, "KeyList"), 2)["Assignment"] = 1;
    EXPECT_EQ(arraySize(store["KeyList"]), 3u);
}

TEST(JsonFile, NamesAreWrittenAsPlainUtf8)
{
    Json::Value value;
    value["profilename"] = "命令 \xF0\x9F\x8E\xAE é"; // CJK, an astral character, Latin
    value["path"] = "C:\\u00e9\\x";                   // backslashes that look like escapes
    value["control"] = "a\tb";
    const std::string text = formatJson(value);
    EXPECT_NE(text.find("\"命令 \xF0\x9F\x8E\xAE é\""), std::string::npos);
    EXPECT_NE(text.find("\"C:\\\\u00e9\\\\x\""), std::string::npos);
    EXPECT_NE(text.find("\"a\\tb\""), std::string::npos);
    EXPECT_EQ(parseJson(text).value(), value);
}

TEST(JsonFile, RewriteKeepsCommentsAndBytesThatAreNotUtf8)
{
    TempDir dir;
    const auto path = dir / "ProfileList.ini";
    // A hand-edited list: comments, and a name from a tool that wrote Latin-1.
    writeBytes(
        path,
        "// my profiles\r\n{\r\n   \"profilelist\" : [ { \"profilename\" : \"caf\xE9\" "
        "}, { \"profilename\" : \"b\" } ], /* picked */\r\n   \"profileselect\" : 0\r\n}\r\n");
    std::optional<Json::Value> document = readForRewrite(path);
    ASSERT_TRUE(document);
    (*document)["profilelist"][1]["profilename"] = "renamed";
    ASSERT_EQ(CJsonFile().WriteJson(path, *document), 0);

    const std::string text = fileBytes(path);
    EXPECT_NE(text.find("// my profiles"), std::string::npos);
    EXPECT_NE(text.find("/* picked */"), std::string::npos);
    EXPECT_NE(text.find("\"caf\xE9\""), std::string::npos);
    EXPECT_NE(text.find("\"renamed\""), std::string::npos);
    const Json::Value reread = CJsonFile().ReadJson(path);
    EXPECT_EQ(json::readString(reread["profilelist"][0]["profilename"]), "caf\xE9");

    // Quotes, backslashes and control characters in such a string stay valid JSON.
    Json::Value odd;
    odd["name"] = std::string("\xFF\"\\\x01\n");
    EXPECT_EQ(parseJson(formatJson(odd)).value(), odd);
}

TEST(JsonFile, NothingPastTheReadBoundIsWritten)
{
    TempDir dir;
    const auto path = dir / "big.Json";
    writeBytes(path, "{}");
    Json::Value big(Json::arrayValue);
    big.append(std::string(kMaxJsonFileSize, 'x'));
    EXPECT_NE(CJsonFile().WriteJson(path, big), 0);
    EXPECT_EQ(fileBytes(path), "{}"); // the old file stays readable
}

// A comment ended by a lone CR, with text after it, came back from a save as text that no
// longer parsed; the values must survive even where the comments cannot.
TEST(JsonFile, ASaveThatWouldNotReadBackKeepsTheValuesWithoutTheComments)
{
    const std::string text = "{\r\n   \"Device\" : [\r\n  ]       /////&////////// \r}      "
                             "}\r\n   ],/////\r   }\r\ne1\"\r\n}\r\n\r\n";
    const auto value = parseJson(text);
    ASSERT_TRUE(value);
    const auto again = parseJson(formatJson(*value));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *value);
}
