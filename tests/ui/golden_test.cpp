#include "test_window.h"

#include "support/temp_dir.h"
#include "ui/render.h"

#include <gtest/gtest.h>

#include <cstdlib>

using testing_support::OpenWindow;

namespace {

const std::filesystem::path kGoldenDir =
    std::filesystem::path(HALVEK_SOURCE_DIR) / "tests/ui/golden";

// Fonts and anti-aliasing may move a few edge pixels between library versions; a
// wrong colour, layout or missing text changes far more than this.
constexpr int kChannelTolerance = 48;
constexpr double kMaxDifferentShare = 0.02;

struct Difference {
    bool sizeMatches = false;
    double share = 1.0;
};

Difference compare(const ui::Image& actual, const ui::Image& expected)
{
    if (actual.width != expected.width || actual.height != expected.height)
        return {};
    std::size_t different = 0;
    for (std::size_t i = 0; i < actual.pixels.size(); ++i) {
        const std::uint32_t a = actual.pixels[i];
        const std::uint32_t b = expected.pixels[i];
        for (int shift = 0; shift < 32; shift += 8) {
            const int delta =
                static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            if (delta > kChannelTolerance || delta < -kChannelTolerance) {
                ++different;
                break;
            }
        }
    }
    return Difference{true, static_cast<double>(different) / actual.pixels.size()};
}

// Renders the window and compares it with the golden PNG; HALVEK_UPDATE_GOLDEN=1
// rewrites the golden file instead.
void expectMatchesGolden(OpenWindow& w, const std::string& name)
{
    w.ui().render();
    const auto golden = kGoldenDir / (name + ".png");
    if (const char* update = std::getenv("HALVEK_UPDATE_GOLDEN"); update && *update == '1') {
        ASSERT_TRUE(w.pm().GetCanvas()->writePng(golden));
        return;
    }
    const auto expected = ui::loadPng(golden);
    ASSERT_TRUE(expected) << "missing golden image " << golden;
    const auto actual = ui::snapshot(*w.pm().GetCanvas());
    const Difference difference = compare(actual, *expected);
    if (!difference.sizeMatches || difference.share > kMaxDifferentShare) {
        const auto failed = std::filesystem::temp_directory_path() / (name + ".actual.png");
        w.pm().GetCanvas()->writePng(failed);
        ADD_FAILURE() << name << ": " << difference.share * 100 << "% of pixels differ; see "
                      << failed;
    }
}

class GoldenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldPath = CPaintManagerUI::GetResourcePath();
        CPaintManagerUI::SetResourcePath(kGoldenDir.wstring());
    }
    void TearDown() override { CPaintManagerUI::SetResourcePath(m_oldPath); }

private:
    std::wstring m_oldPath;
};

} // namespace

TEST_F(GoldenTest, ControlsPaintColoursBordersTextAndStates)
{
    OpenWindow w(LR"(<Window size="160,80">
      <Font id="0" name="Noto Sans" size="13"/>
      <Font id="1" name="Noto Sans" size="13" bold="true"/>
      <VerticalLayout name="root" bkcolor="#FF202830" inset="4,4,4,4" childpadding="4">
        <HorizontalLayout height="22" childpadding="4">
          <Label text="Halvek" font="1" textcolor="#FFFFFFFF" width="60"/>
          <Button text="OK" font="0" bkcolor="#FF0099FF" textcolor="#FFFFFFFF" bordersize="1" bordercolor="#FFFFFFFF"/>
          <Option name="opt" selected="true" selectedbkcolor="#FF33CC66" bkcolor="#FF555555" width="22"/>
        </HorizontalLayout>
        <Progress height="8" value="60" bkcolor="#FF444444" forecolor="#FFFF8800"/>
        <HorizontalLayout height="20" childpadding="4">
          <Label text="&#x4E2D;&#x6587;" font="0" textcolor="#FFFFFF00" width="40"/>
          <Control bkimage="key.png" width="16" height="16"/>
          <Control bkimage="file='key.png' dest='2,2,10,10'" width="16" height="16" bkcolor="#80FFFFFF"/>
        </HorizontalLayout>
      </VerticalLayout></Window>)",
                 160, 80);
    ASSERT_TRUE(w.opened);
    expectMatchesGolden(w, "controls");
}

TEST_F(GoldenTest, TintedImageTakesTheColourAndOpacity)
{
    OpenWindow w(LR"(<Window size="48,16"><HorizontalLayout name="root" bkcolor="#FF000000">
        <Control name="a" width="16"/><Control name="b" width="16"/><Control name="c" width="16"/>
      </HorizontalLayout></Window>)",
                 48, 16);
    ASSERT_TRUE(w.opened);
    w.ui().render();
    auto& canvas = *w.pm().GetCanvas();
    CRenderEngine::DrawImageTinted(canvas, w.ui().find(L"a")->GetPos(), L"key.png", 0xFF0000, 255);
    CRenderEngine::DrawImageTinted(canvas, w.ui().find(L"b")->GetPos(), L"key.png", 0x0000FF, 128);
    CRenderEngine::DrawImageTinted(canvas, w.ui().find(L"c")->GetPos(), L"missing.png", 0xFFFFFF,
                                   255);
    const auto image = ui::snapshot(canvas);
    auto at = [&](int x, int y) { return image.pixels[static_cast<std::size_t>(y * 48 + x)]; };
    EXPECT_EQ(at(8, 8), 0xFFFF0000u) << "full colour in the shape";
    EXPECT_EQ(at(0, 0), 0xFF000000u) << "nothing outside it";
    EXPECT_NEAR(static_cast<int>(at(24, 8) & 0xFF), 128, 2) << "half opacity over black";
    EXPECT_EQ(at(40, 8), 0xFF000000u) << "a missing image draws nothing";
}

TEST_F(GoldenTest, PaintedFrameIsWrittenAsPng)
{
    testing_support::TempDir dir;
    OpenWindow w(LR"(<Window><Control name="root" bkcolor="#FF336699"/></Window>)", 20, 10);
    ASSERT_TRUE(w.opened);
    ASSERT_TRUE(w.ui().writePng(dir / "frame.png"));
    const auto image = ui::loadPng(dir / "frame.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 20);
    EXPECT_EQ(image->pixels[0], 0xFF336699u);
}
