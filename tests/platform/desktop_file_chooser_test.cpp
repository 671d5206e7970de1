#include "platform/desktop_file_chooser.h"

#include <gtest/gtest.h>

using Filter = platform::FileChoiceRequest::Filter;

TEST(SystemFilterString, NamesAndPatternsPairedDoubleEndedAndUnusableFiltersLeftOut)
{
    using namespace std::string_literals;
    EXPECT_EQ(platform::systemFilterString(
                  {{L"Macro Files(*.mac)", {L"*.mac"}}, {L"宏文件", {L"*.mac", L"", L"*.MAC"}}}),
              L"Macro Files(*.mac)\0*.mac\0宏文件\0*.mac;*.MAC\0\0"s);
    EXPECT_EQ(platform::systemFilterString({}), L"\0"s);
    // A NUL inside would end the list early and pair the rest wrongly.
    EXPECT_EQ(platform::systemFilterString({{L"a\0b"s, {L"*.a"}},
                                            {L"no patterns", {}},
                                            {L"", {L"*.x"}},
                                            {L"Shoot", {L"*.shoot"}}}),
              L"Shoot\0*.shoot\0\0"s);
}
