// A canvas painting into memory a window lends it, without a display: the memory stands in
// for a window surface.
#include "ui/frame_canvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kWidth = 20;
constexpr int kHeight = 10;
// Rows wider than the canvas, as surfaces often have: the padding must stay untouched.
constexpr int kStridePixels = 24;
constexpr std::uint32_t kUntouched = 0xDEADBEEF;
constexpr DWORD kRed = 0xFFC00000;
constexpr DWORD kBlue = 0xFF0000C0;

struct Lender {
    std::vector<std::uint32_t> memory =
        std::vector<std::uint32_t>(std::size_t(kStridePixels) * kHeight, kUntouched);
    int ends = 0;

    bool lendTo(const ui::FrameCanvas& canvas)
    {
        return canvas.lend(memory.data(), kStridePixels * 4, [this] { ++ends; });
    }
    std::uint32_t at(int x, int y) const { return memory[std::size_t(y) * kStridePixels + x]; }
};

std::uint32_t pixelAt(const ui::Canvas& canvas, int x, int y)
{
    return canvas.pixels()[std::size_t(y) * (canvas.stride() / 4) + x];
}

} // namespace

TEST(FrameCanvas, PaintsIntoLentMemoryAndKeepsItsPictureWhenTheMemoryIsTakenBack)
{
    auto owned = ui::createImageCanvas(kWidth, kHeight);
    auto* canvas = dynamic_cast<ui::FrameCanvas*>(owned.get());
    ASSERT_NE(canvas, nullptr) << "every canvas can paint into a window's memory";
    canvas->clear(kRed);

    Lender lender;
    ASSERT_TRUE(lender.lendTo(*canvas));
    EXPECT_TRUE(canvas->isLent());
    EXPECT_EQ(lender.at(0, 0), kRed) << "the picture so far moves with the canvas";
    EXPECT_EQ(lender.at(kWidth - 1, kHeight - 1), kRed);
    EXPECT_EQ(lender.at(kWidth, 0), kUntouched) << "a row's padding is not the canvas's";

    canvas->fillRect(RECT{0, 0, 5, 5}, kBlue);
    EXPECT_EQ(lender.at(2, 2), kBlue) << "painted where the window reads";
    EXPECT_EQ(pixelAt(*canvas, 2, 2), kBlue);

    canvas->takeBack();
    EXPECT_FALSE(canvas->isLent());
    std::fill(lender.memory.begin(), lender.memory.end(), kUntouched);
    EXPECT_EQ(pixelAt(*canvas, 2, 2), kBlue) << "the picture stays with the canvas";
    EXPECT_EQ(pixelAt(*canvas, 10, 5), kRed);
    canvas->fillRect(RECT{10, 0, 20, 10}, kBlue);
    EXPECT_EQ(lender.at(15, 5), kUntouched) << "memory taken back is never painted again";
    EXPECT_EQ(lender.ends, 0) << "taking back is the lender's own doing";
}

TEST(FrameCanvas, ACanvasEndingWhileLentTellsItsLenderOnce)
{
    Lender lender;
    {
        auto owned = ui::createImageCanvas(kWidth, kHeight);
        ASSERT_TRUE(lender.lendTo(dynamic_cast<ui::FrameCanvas&>(*owned)));
    }
    EXPECT_EQ(lender.ends, 1);

    Lender other;
    {
        auto owned = ui::createImageCanvas(kWidth, kHeight);
        auto& canvas = dynamic_cast<ui::FrameCanvas&>(*owned);
        ASSERT_TRUE(other.lendTo(canvas));
        canvas.takeBack();
    }
    EXPECT_EQ(other.ends, 0);
}

TEST(FrameCanvas, MemoryThatCannotHoldThePictureOrALendMidPaintIsRefused)
{
    auto owned = ui::createImageCanvas(kWidth, kHeight);
    auto& canvas = dynamic_cast<ui::FrameCanvas&>(*owned);
    canvas.clear(kRed);
    std::vector<std::uint32_t> memory(std::size_t(kStridePixels) * kHeight, kUntouched);
    EXPECT_FALSE(canvas.lend(memory.data(), (kWidth - 1) * 4, [] {})) << "rows too short";
    EXPECT_FALSE(canvas.lend(memory.data(), kWidth * 4 + 2, [] {})) << "rows not of whole pixels";
    EXPECT_FALSE(canvas.lend(nullptr, kWidth * 4, [] {}));
    canvas.pushClip(RECT{0, 0, 5, 5});
    EXPECT_FALSE(canvas.lend(memory.data(), kStridePixels * 4, [] {}))
        << "the clip of a paint in progress would be lost";
    canvas.popClip();
    EXPECT_FALSE(canvas.isLent());
    EXPECT_EQ(memory.front(), kUntouched);
    EXPECT_EQ(pixelAt(canvas, 0, 0), kRed);
}

TEST(FrameCanvas, PixelsPutBackLandExactlyAndNeverOutsideTheClip)
{
    auto canvas = ui::createImageCanvas(kWidth, kHeight);
    ASSERT_NE(canvas, nullptr);
    canvas->clear(kBlue);
    const std::uint32_t blue = pixelAt(*canvas, 0, 0);
    // Half-transparent pixels too: put back as they were, not blended.
    ui::Image image{4, 3, std::vector<std::uint32_t>(12, 0x80400000)};
    image.pixels[5] = 0x00000000;

    // Inside the clip: a copy, pixel for pixel.
    canvas->pushClip(RECT{2, 2, 12, 8});
    ASSERT_TRUE(canvas->putPixels(image, POINT{3, 3}));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(pixelAt(*canvas, 3 + x, 3 + y), image.pixels[std::size_t(y) * 4 + x]);
    }
    // Across the clip's edge: only what the clip lets through changes.
    canvas->pushClip(RECT{0, 0, 9, 10});
    ASSERT_TRUE(canvas->putPixels(image, POINT{7, 6}));
    canvas->popClip();
    canvas->popClip();
    EXPECT_EQ(pixelAt(*canvas, 8, 6), image.pixels[1]);
    EXPECT_EQ(pixelAt(*canvas, 8, 7), image.pixels[5]);
    EXPECT_EQ(pixelAt(*canvas, 9, 6), blue) << "beyond the inner clip";
    EXPECT_EQ(pixelAt(*canvas, 7, 8), blue) << "beyond the outer clip";
    EXPECT_EQ(pixelAt(*canvas, 2, 3), blue);

    // Off the canvas: nothing written outside it, and no crash.
    canvas->putPixels(image, POINT{kWidth - 2, kHeight - 1});
    EXPECT_EQ(pixelAt(*canvas, kWidth - 1, kHeight - 1), image.pixels[1]);
    EXPECT_FALSE(canvas->putPixels(ui::Image{4, 3, {}}, POINT{0, 0})) << "a size that lies";
}
