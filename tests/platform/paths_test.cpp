#include "platform/paths.h"

#include <gtest/gtest.h>

TEST(Paths, WideNamesBeyondAsciiConvertBothWays)
{
    // std::filesystem::path(std::wstring) throws on these in the "C" locale.
    const std::wstring name = L"/tmp/键盘/สวัสดี/profile 1.json";
    const auto path = platform::toPath(name);
    // As UTF-8, whatever the system's own form of names.
    const auto utf8 = path.u8string();
    EXPECT_EQ(std::string(utf8.begin(), utf8.end()),
              "/tmp/\xe9\x94\xae\xe7\x9b\x98/"
              "\xe0\xb8\xaa\xe0\xb8\xa7\xe0\xb8\xb1\xe0\xb8\xaa\xe0\xb8\x94\xe0"
              "\xb8\xb5/profile 1.json");
    EXPECT_EQ(platform::toWide(path), name);
}

TEST(Paths, BothSeparatorsSplitRelativeNames)
{
    EXPECT_EQ(platform::relativeName(L"skin\\xml\\main.xml"),
              std::filesystem::path("skin/xml/main.xml"));
    EXPECT_EQ(platform::relativeName(L"skin/xml\\main.xml"),
              std::filesystem::path("skin/xml/main.xml"));
    EXPECT_EQ(platform::relativeName(L"skin\\\\.\\xml\\"), std::filesystem::path("skin/xml"));
    EXPECT_TRUE(platform::relativeName(L"\\").empty());
}

TEST(Paths, NamesFromFilesStayInsideTheirFolder)
{
    const std::filesystem::path folder = "/data/keyboard";
    EXPECT_EQ(platform::pathInside(folder, L"macro\\{A1}.mac"),
              std::filesystem::path("/data/keyboard/macro/{A1}.mac"));
    for (const wchar_t* escaping :
         {L"", L"\\", L"/etc/passwd", L"\\etc\\passwd", L"..\\ProfileList.ini", L"a/../../b",
          L"C:\\Windows\\x", L"c:x", L"./.."}) {
        EXPECT_EQ(platform::pathInside(folder, escaping), std::nullopt)
            << platform::toPath(escaping);
    }
}
