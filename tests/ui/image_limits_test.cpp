#include "ui/image_limits.h"
#include "ui/render.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using testing_support::TempDir;

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The signature and a header chunk announcing the size; no pixel data follows, and none
// is needed: the size alone must be enough to refuse it.
std::string pngHeader(std::uint32_t width, std::uint32_t height)
{
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    bytes += std::string("\x08\x06\0\0\0", 5);
    return bytes;
}

TEST(ImageLimits, PixelBombsAreRefusedFromTheirHeaderWithTheLimitNamed)
{
    TempDir folder;
    writeBytes(folder / "bomb.png", pngHeader(16000, 16000));
    const std::wstring problem = ui::imageFileProblem(folder / "bomb.png");
    EXPECT_NE(problem.find(L"16000 × 16000"), std::wstring::npos);
    EXPECT_NE(problem.find(L"8192 pixels a side"), std::wstring::npos);
    // Within each side but too many in all, and sizes whose product overflows.
    EXPECT_FALSE(ui::pixelSizeProblem({8000, 8000}).empty());
    EXPECT_FALSE(ui::pixelSizeProblem({0xFFFFFFFFll, 0xFFFFFFFFll}).empty());
    EXPECT_FALSE(ui::pixelSizeProblem({0, 10}).empty());
    EXPECT_TRUE(ui::pixelSizeProblem({4096, 4096}).empty());
    EXPECT_EQ(ui::pngSize(pngHeader(3, 5))->height, 5);
    EXPECT_FALSE(ui::pngSize("GIF89a and more than twenty-four bytes"));
}

TEST(ImageLimits, ARealImageLoadsAndBrokenOrForeignFilesSayWhy)
{
    TempDir folder;
    ui::Image image;
    image.width = 4;
    image.height = 2;
    image.pixels.assign(8, 0xFF112233u);
    ASSERT_TRUE(ui::writePng(image, folder / "small.png"));
    EXPECT_EQ(ui::imageFileProblem(folder / "small.png"), L"");
    EXPECT_EQ(ui::loadPng(folder / "small.png")->width, 4);

    // Header fine, pixels missing: refused by the decoder, not by the bounds.
    writeBytes(folder / "cut.png", pngHeader(10, 10));
    EXPECT_FALSE(ui::imageFileProblem(folder / "cut.png").empty());
    EXPECT_FALSE(ui::loadPng(folder / "cut.png"));
    EXPECT_FALSE(ui::imageFileProblem("/dev/zero").empty());
}

TEST(ImageLimits, DrawingsWithAHugeSizeOrTooManyElementsAreRefused)
{
    TempDir folder;
    writeBytes(folder / "fine.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" )"
                                    R"(height="20"><rect width="40" height="20"/></svg>)");
    EXPECT_EQ(ui::imageFileProblem(folder / "fine.svg"), L"");

    writeBytes(folder / "huge.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" )"
                                    R"(width="1000000" height="1000000"/>)");
    EXPECT_NE(ui::imageFileProblem(folder / "huge.svg").find(L"1000000 × 1000000"),
              std::wstring::npos);

    std::string many = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">)";
    for (int i = 0; i < 30000; ++i)
        many += "<g/>";
    many += "</svg>";
    writeBytes(folder / "many.svg", many);
    EXPECT_EQ(ui::svgElementCount(many), 30001u);
    const std::wstring problem = ui::imageFileProblem(folder / "many.svg");
    EXPECT_NE(problem.find(L"30001 elements"), std::wstring::npos) << problem.size();
    EXPECT_NE(problem.find(L"20000"), std::wstring::npos);
}

} // namespace
