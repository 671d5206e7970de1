// The renderer gives back what it needed only while drawing, and draws the same afterwards.
#include "ui/render_memory.h"

#include "support/temp_dir.h"
#include "ui/render.h"

#include <gtest/gtest.h>

#include <fstream>

using testing_support::TempDir;

TEST(RenderMemory, DrawingsDrawnAfterTheVectorLibraryGaveBackItsPagesLookAsBefore)
{
    TempDir folder;
    const auto file = folder.path() / "cap.svg";
    std::ofstream(file) << R"(<svg xmlns="http://www.w3.org/2000/svg" width="40" height="20">)"
                           R"(<rect x="2" y="2" width="36" height="16" rx="4" fill="#3080E0"/>)"
                           R"(<circle cx="20" cy="10" r="5" fill="#F0C000"/></svg>)";
    const std::wstring image = file.wstring();
    auto draw = [&](int width, int height) {
        auto canvas = ui::createImageCanvas(width, height);
        canvas->clear(0xFF000000);
        EXPECT_TRUE(CRenderEngine::DrawImageString(*canvas, RECT{0, 0, width, height}, image));
        return ui::snapshot(*canvas);
    };
    const ui::Image first = draw(80, 40);
    ui::releaseRenderMemory();
    // A size not drawn before runs the library again; a size drawn before is copied.
    const ui::Image larger = draw(120, 60);
    ui::releaseRenderMemory();
    EXPECT_EQ(draw(80, 40).pixels, first.pixels);
    ui::resetRenderCaches();
    EXPECT_EQ(draw(80, 40).pixels, first.pixels) << "drawn anew by the library";
    EXPECT_EQ(draw(120, 60).pixels, larger.pixels);
    ui::releaseRenderMemory();
    ui::releaseRenderMemory();
}
