// The parts of the HTTP client both backends share.
#include "platform/http.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::HttpErrorCode;

TEST(HttpHeaderBlock, TheLinesAreTheBlocksWithoutItsEmptyOne)
{
    EXPECT_EQ(platform::httpHeaderLines(7),
              (std::vector<std::string>{"Content-Length:7",
                                        "Content-Type: application/x-www-form-urlencoded",
                                        "Accept:application/prs.Novik.v1+json"}));
}

TEST(HttpNoLinkMarker, WrittenWithItsZeroWhereItFitsAndCutWhereItDoesNot)
{
    std::vector<std::uint8_t> room(20, 0xEE);
    platform::writeNoLinkMarker(room);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(room.data())), "NO_LINK_SERVER");
    EXPECT_EQ(room[15], 0xEE) << "nothing past the zero";
    std::vector<std::uint8_t> small(4, 0xEE);
    platform::writeNoLinkMarker(small);
    EXPECT_EQ(std::string(small.begin(), small.end()), "NO_L");
    platform::writeNoLinkMarker({});
}

TEST(HttpDownloadLimit, TheExpectedSizeWithinTheSettingsLimitElseRefused)
{
    platform::HttpSettings settings;
    settings.maxDownloadSize = 1000;
    platform::HttpError error;
    EXPECT_EQ(platform::downloadLimit(settings, 0, error), 1000u);
    EXPECT_EQ(platform::downloadLimit(settings, 1000, error), 1000u);
    EXPECT_EQ(platform::downloadLimit(settings, 10, error), 10u);
    EXPECT_EQ(error.code, HttpErrorCode::None);
    EXPECT_EQ(platform::downloadLimit(settings, 1001, error), std::nullopt);
    EXPECT_EQ(error.code, HttpErrorCode::TooLarge);
}

TEST(TransferPace, EndsATrickleAtTheRateWindowAndAnyTransferAtItsDeadline)
{
    platform::HttpSettings settings;
    settings.minimumRate = 100;
    settings.rateWindow = 10s;
    const auto start = platform::TransferPace::Clock::now();
    platform::TransferPace pace(settings, 60s, start);
    EXPECT_FALSE(pace.check(5, "h", start + 9s)) << "judged over whole windows only";
    EXPECT_FALSE(pace.check(1000, "h", start + 10s)) << "100 bytes a second is enough";
    // The next window counts from the last: 999 bytes in 10 s is too slow.
    const auto slow = pace.check(1999, "h", start + 20s);
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->code, HttpErrorCode::TimedOut);
    EXPECT_EQ(slow->message, "h sent less than 100 bytes a second for 10 s");

    platform::TransferPace fast(settings, 1500ms, start);
    const auto late = fast.check(1'000'000, "", start + 1500ms);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->message, "the server did not finish within 1500 ms");
}
