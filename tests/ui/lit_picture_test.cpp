// Layers put together in one pass must give the very pixels the canvas draws layer by layer:
// a streamed key is drawn both ways, and the two must never be told apart on screen.
#include "ui/lit_picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr int kSize = 48;

// Premultiplied pixels of every kind: clear, opaque, and see-through in between.
ui::Image randomPixels(std::mt19937& random, int clearShare)
{
    ui::Image image{kSize, kSize, {}};
    for (int i = 0; i < kSize * kSize; ++i) {
        const std::uint32_t alpha = random() % 4 == 0 ? 255 : random() % 256;
        if (int(random() % 100) < clearShare) {
            image.pixels.push_back(0);
            continue;
        }
        const auto channel = [&] {
            return alpha == 0 ? 0u : std::uint32_t(random() % (alpha + 1));
        };
        image.pixels.push_back(alpha << 24 | channel() << 16 | channel() << 8 | channel());
    }
    return image;
}

class LitPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder =
            std::filesystem::temp_directory_path() /
            ("halvek-layers-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    // An image file of these pixels, as a skin's image would be.
    ui::ImageSource imageFile(const ui::Image& pixels, const std::string& name)
    {
        auto canvas = ui::createImageCanvas(kSize, kSize);
        EXPECT_TRUE(canvas->putPixels(pixels, POINT{0, 0}));
        const auto file = m_folder / (name + ".png");
        EXPECT_TRUE(canvas->writePng(file));
        return ui::ImageSource{file.wstring(), std::nullopt, std::nullopt, RECT{}};
    }
    // What the canvas shows after drawing `draw` on a clear canvas.
    template <typename Draw> static ui::Image drawn(Draw draw)
    {
        auto canvas = ui::createImageCanvas(kSize, kSize);
        draw(*canvas);
        return ui::snapshot(*canvas);
    }

    std::filesystem::path m_folder;
};

} // namespace

TEST_F(LitPictureTest, BaseLightAndTopPutTogetherMatchTheCanvasDrawingThemInTurn)
{
    std::mt19937 random(20261210);
    const RECT all{0, 0, kSize, kSize};
    for (int round = 0; round < 4; ++round) {
        const ui::Image base = randomPixels(random, 0);
        const ui::ImageSource shape =
            imageFile(randomPixels(random, 60), "shape" + std::to_string(round));
        const ui::ImageSource label =
            imageFile(randomPixels(random, 80), "label" + std::to_string(round));

        auto light = ui::createImageCanvas(kSize, kSize);
        ASSERT_TRUE(light->drawImageTinted(all, shape, 0xFFFFFF, 255));
        auto top = ui::createImageCanvas(kSize, kSize);
        ASSERT_TRUE(top->drawImage(all, label, 1.0));
        const ui::LitPicture picture = ui::LitPicture::of(base, light.get(), top.get());
        ASSERT_FALSE(picture.empty());

        for (const DWORD argb : {0xC8FF0000u, 0xFF00FF00u, 0x010203FFu, 0x80FFFFFFu, 0xFF7F3F1Fu,
                                 0x00FFFFFFu, DWORD(random())}) {
            const ui::Image expected = drawn([&](ui::Canvas& c) {
                c.putPixels(base, POINT{0, 0});
                c.drawImageTinted(all, shape, argb & 0xFFFFFF, int(argb >> 24));
                c.drawImage(all, label, 1.0);
            });
            auto canvas = ui::createImageCanvas(kSize + 4, kSize + 4);
            ASSERT_TRUE(canvas->putLitPicture(picture, argb, POINT{2, 2}));
            ui::Image composed{kSize, kSize, {}};
            const ui::Image whole = ui::snapshot(*canvas);
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x)
                    composed.pixels.push_back(
                        whole.pixels[std::size_t(y + 2) * (kSize + 4) + x + 2]);
            int differing = 0;
            for (std::size_t i = 0; i < expected.pixels.size(); ++i)
                differing += expected.pixels[i] != composed.pixels[i];
            EXPECT_EQ(differing, 0) << "round " << round << ", colour " << std::hex << argb;
        }
    }
}

TEST_F(LitPictureTest, PixelsAlikeAreBlendedOnceAndPicturesThatDoNotFitAreRefused)
{
    // Two bars of light over a plain picture: every lit pixel has the same pixel under it
    // and the same cover.
    auto light = ui::createImageCanvas(10, 8);
    light->fillRect(RECT{0, 0, 10, 1}, 0xFFFFFFFF);
    light->fillRect(RECT{0, 7, 10, 8}, 0xFFFFFFFF);
    const ui::Image base{10, 8, std::vector<std::uint32_t>(80, 0xFF000000)};
    const ui::LitPicture bars = ui::LitPicture::of(base, light.get(), nullptr);
    const std::size_t plain = ui::LitPicture::of(base, nullptr, nullptr).bytes();
    EXPECT_EQ(plain, 80 * 4u) << "the picture alone";
    EXPECT_EQ(bars.bytes(), plain + 20 * 6 + 2 * 9) << "twenty lit pixels, one blend";

    EXPECT_TRUE(ui::LitPicture::of(base, ui::createImageCanvas(5, 5).get(), nullptr).empty())
        << "a light of another size";
    const ui::Image lying{10, 8, std::vector<std::uint32_t>(7)};
    EXPECT_TRUE(ui::LitPicture::of(lying, nullptr, nullptr).empty()) << "a size that lies";

    // Outside the canvas or the clip nothing is drawn, and the caller is told.
    auto target = ui::createImageCanvas(12, 12);
    EXPECT_FALSE(target->putLitPicture(bars, 0xFFFF0000, POINT{4, 4}));
    target->pushClip(RECT{0, 0, 6, 6});
    EXPECT_FALSE(target->putLitPicture(bars, 0xFFFF0000, POINT{0, 0}));
    target->popClip();
    EXPECT_FALSE(target->putLitPicture(ui::LitPicture{}, 0xFFFF0000, POINT{0, 0}));
    EXPECT_TRUE(target->putLitPicture(bars, 0xFFFF0000, POINT{1, 1}));
    const ui::Image shown = ui::snapshot(*target);
    EXPECT_EQ(shown.pixels[0], 0u) << "outside the picture";
    EXPECT_EQ(shown.pixels[1 * 12 + 1], 0xFFFF0000u) << "a bar, lit";
    EXPECT_EQ(shown.pixels[3 * 12 + 4], 0xFF000000u) << "between the bars";
}

TEST_F(LitPictureTest, APictureDrawnOverSinceItsLastFrameIsPutBackWhole)
{
    auto light = ui::createImageCanvas(10, 8);
    light->fillRect(RECT{0, 0, 10, 1}, 0xFFFFFFFF);
    const ui::Image base{10, 8, std::vector<std::uint32_t>(80, 0xFF000000)};
    const ui::LitPicture bars = ui::LitPicture::of(base, light.get(), nullptr);
    const ui::LitPicture other = ui::LitPicture::of(base, light.get(), nullptr);
    EXPECT_NE(bars.id(), other.id());

    auto target = ui::createImageCanvas(12, 12);
    const auto at = [&](int x, int y) {
        return ui::snapshot(*target).pixels[std::size_t(y) * 12 + x];
    };
    ASSERT_TRUE(target->putLitPicture(bars, 0xFFFF0000, POINT{1, 1}));
    // A tooltip's corner, half see-through, drawn over the picture after it.
    target->fillRect(RECT{5, 4, 12, 12}, 0x80FFFFFF);
    ASSERT_TRUE(target->putLitPicture(bars, 0xFF00FF00, POINT{1, 1}));
    EXPECT_EQ(at(1, 1), 0xFF00FF00u) << "the light in its new colour";
    EXPECT_EQ(at(6, 5), 0xFF000000u) << "what was drawn over it is gone";
    EXPECT_EQ(at(11, 11), 0x80808080u) << "outside the picture it stays";

    // Moved, it is put whole where it goes; another picture at its place is put whole too.
    target->clear(0xFF0000FF);
    ASSERT_TRUE(target->putLitPicture(bars, 0xFFFF0000, POINT{0, 0}));
    ASSERT_TRUE(target->putLitPicture(bars, 0xFFFF0000, POINT{2, 2}));
    EXPECT_EQ(at(5, 6), 0xFF000000u);
    target->fillRect(RECT{0, 0, 12, 12}, 0xFF0000FF);
    ASSERT_TRUE(target->putLitPicture(other, 0xFFFF0000, POINT{2, 2}));
    EXPECT_EQ(at(5, 6), 0xFF000000u);
}
