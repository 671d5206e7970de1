#pragma once

#include "ui/render.h"

#include <cstdint>
#include <functional>

namespace ui {

// A canvas that can paint straight into pixel memory its window lends it (the window's
// surface), so a frame is painted where the display reads it instead of being painted and
// then copied, and one frame's pixels are kept instead of two. Every canvas the rendering
// backend makes is one.
//
// Lending moves the picture, it does not change it, hence const: the window does it while
// it shows the canvas. UI thread only, and never while a clip is pushed.
class FrameCanvas : public Canvas {
public:
    // Paints into `pixels` from now on: width() x height() pixels of 32 bits, 0x..RRGGBB with
    // the top byte unused, rows `stride` bytes apart. The picture so far is copied there. The
    // canvas calls onEnd if it ends while it still paints there. False (nothing changed)
    // when the memory cannot hold the canvas's pixels.
    virtual bool lend(std::uint32_t* pixels, int stride, std::function<void()> onEnd) const = 0;
    // Before the lender frees its memory: the picture is copied into memory of the canvas's
    // own, which it paints into from then on. No-op when nothing is lent.
    virtual void takeBack() const = 0;
    virtual bool isLent() const = 0;
};

} // namespace ui
