// What the painter keeps between frames (images by name, shaped text) must never show a
// stale or mixed-up picture.
#include "support/temp_dir.h"
#include "ui/paint_manager_ui.h"
#include "ui/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

using testing_support::TempDir;

namespace {

constexpr int kSide = 8;

void writeSolidPng(const std::filesystem::path& file, DWORD argb)
{
    auto canvas = ui::createImageCanvas(kSide, kSide);
    canvas->clear(argb);
    ASSERT_TRUE(canvas->writePng(file));
}

// The middle pixel after drawing the image string onto black.
std::uint32_t drawnColour(std::wstring_view image)
{
    auto canvas = ui::createImageCanvas(kSide, kSide);
    canvas->clear(0xFF000000);
    CRenderEngine::DrawImageString(*canvas, RECT{0, 0, kSide, kSide}, image);
    return ui::snapshot(*canvas).pixels[std::size_t(kSide / 2 * kSide + kSide / 2)];
}

ui::Image textPicture(ui::Canvas& canvas, std::wstring_view text, UINT format, int width)
{
    canvas.clear(0xFF000000);
    ui::FontStyle font;
    font.face = L"Noto Sans";
    font.size = 14;
    canvas.drawText(RECT{0, 0, width, 24}, text, font, 1.0, 0xFFFFFFFF, format);
    return ui::snapshot(canvas);
}

class RenderCacheTest : public ::testing::Test {
protected:
    void SetUp() override { m_oldPath = CPaintManagerUI::GetResourcePath(); }
    void TearDown() override { CPaintManagerUI::SetResourcePath(m_oldPath); }

private:
    std::wstring m_oldPath;
};

} // namespace

TEST_F(RenderCacheTest, AnImageNameFollowsTheResourceFolderAndBothSeparators)
{
    TempDir first;
    TempDir second;
    std::filesystem::create_directories(first / "keys");
    std::filesystem::create_directories(second / "keys");
    writeSolidPng(first / "keys" / "cap.png", 0xFFFF0000);
    writeSolidPng(second / "keys" / "cap.png", 0xFF0000FF);

    CPaintManagerUI::SetResourcePath(first.path().wstring());
    EXPECT_EQ(drawnColour(L"keys/cap.png"), 0xFFFF0000u);
    EXPECT_EQ(drawnColour(L"keys\\cap.png"), 0xFFFF0000u);
    EXPECT_EQ(drawnColour(L"file='keys/cap.png' source='0,0,4,4'"), 0xFFFF0000u);
    EXPECT_EQ(drawnColour(L"keys/none.png"), 0xFF000000u) << "a missing image draws nothing";

    // The same names in another skin folder stand for that folder's files.
    CPaintManagerUI::SetResourcePath(second.path().wstring());
    EXPECT_EQ(drawnColour(L"keys/cap.png"), 0xFF0000FFu);
    EXPECT_EQ(drawnColour(L"keys\\cap.png"), 0xFF0000FFu);
    writeSolidPng(second / "keys" / "none.png", 0xFF00FF00);
    EXPECT_EQ(drawnColour(L"keys/none.png"), 0xFF00FF00u);
}

TEST_F(RenderCacheTest, TextDrawnAgainLooksAsDrawnFresh)
{
    struct Case {
        std::wstring text;
        UINT format;
        int width;
    };
    // Same words at other widths, alignments and breaks, and other words of one style:
    // each must look as it does on a canvas that never drew anything else.
    const Case cases[] = {
        {L"Brightness", DT_SINGLELINE | DT_VCENTER, 120},
        {L"Brightness", DT_SINGLELINE | DT_CENTER | DT_VCENTER, 120},
        {L"Brightness", DT_SINGLELINE | DT_END_ELLIPSIS, 40},
        {L"Brightness", DT_SINGLELINE | DT_END_ELLIPSIS, 60},
        {L"Brightness level", DT_WORDBREAK, 50},
        {L"Brightness level", DT_WORDBREAK | DT_RIGHT, 50},
        {L"Speed", DT_SINGLELINE | DT_VCENTER, 120},
        {L"\u4EAE\u5EA6", DT_SINGLELINE | DT_VCENTER, 120},
    };
    auto shared = ui::createImageCanvas(120, 24);
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            auto fresh = ui::createImageCanvas(120, 24);
            const ui::Image expected = textPicture(*fresh, c.text, c.format, c.width);
            const ui::Image drawn = textPicture(*shared, c.text, c.format, c.width);
            EXPECT_EQ(drawn.pixels, expected.pixels)
                << "round " << round << ", width " << c.width << ", format " << c.format;
        }
    }
    // A measure takes the same shaping as a draw.
    ui::FontStyle font;
    font.face = L"Noto Sans";
    font.size = 14;
    auto fresh = ui::createImageCanvas(120, 24);
    const SIZE wrapped = shared->measureText(L"Brightness level", font, 1.0, 50);
    EXPECT_EQ(wrapped.cx, fresh->measureText(L"Brightness level", font, 1.0, 50).cx);
    EXPECT_GT(wrapped.cy, shared->measureText(L"Brightness level", font, 1.0, 0).cy)
        << "broken into lines at 50 pixels";
}

TEST_F(RenderCacheTest, TextDrawnAgainFromItsKeptPixelsLooksAsPangoDrawsIt)
{
    // A label drawn frame after frame is kept as pixels after its second drawing; on a
    // coloured ground and in a see-through colour those must blend as Pango's glyphs do,
    // stay inside the rectangle, and follow the colour asked for.
    ui::FontStyle font;
    font.face = L"Noto Sans";
    font.size = 14;
    const auto picture = [&](ui::Canvas& canvas, std::wstring_view text, DWORD argb) {
        canvas.clear(0xFF336699);
        canvas.drawText(RECT{4, 2, 60, 22}, text, font, 1.0, argb,
                        DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        return ui::snapshot(canvas);
    };
    const auto largestDifference = [](const ui::Image& a, const ui::Image& b) {
        int largest = 0;
        for (std::size_t i = 0; i < a.pixels.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(int((a.pixels[i] >> shift) & 0xFF) -
                                                     int((b.pixels[i] >> shift) & 0xFF)));
        }
        return largest;
    };
    auto shared = ui::createImageCanvas(80, 24);
    for (const DWORD argb : {0xFFFFFFFFu, 0x80FFCC00u, 0xFFFFFFFFu, 0xFF000000u}) {
        for (const std::wstring_view text : {L"Esc", L"Fn\u4EAE", L"Esc"}) {
            auto fresh = ui::createImageCanvas(80, 24);
            const ui::Image expected = picture(*fresh, text, argb);
            for (int frame = 0; frame < 3; ++frame) {
                const ui::Image drawn = picture(*shared, text, argb);
                ASSERT_EQ(drawn.pixels.size(), expected.pixels.size());
                EXPECT_LE(largestDifference(drawn, expected), 1)
                    << "frame " << frame << ", colour " << std::hex << argb;
            }
        }
    }
    // Clipped as drawn fresh: a rectangle narrower than the text cuts the kept pixels too.
    auto fresh = ui::createImageCanvas(80, 24);
    const auto narrow = [&](ui::Canvas& canvas) {
        canvas.clear(0xFF000000);
        canvas.drawText(RECT{10, 2, 18, 22}, L"Brightness", font, 1.0, 0xFFFFFFFF,
                        DT_SINGLELINE | DT_VCENTER);
        return ui::snapshot(canvas);
    };
    const ui::Image expected = narrow(*fresh);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_LE(largestDifference(narrow(*shared), expected), 1) << "frame " << frame;
}
