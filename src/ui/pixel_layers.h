#pragma once

#include "ui/render.h"

#include <cstdint>
#include <vector>

namespace ui {

// The pixels of a layer that show, each with its place: a key's light or label covers a few
// hundred of its thousand pixels. Made only from a canvas, so every point lies inside it.
class SparseLayer {
public:
    struct Point {
        std::uint16_t x = 0;
        std::uint16_t y = 0;
        std::uint32_t value = 0;
    };
    // How strongly a colour shows at each of the canvas's pixels: their alpha, where not 0.
    static SparseLayer coverageOf(const Canvas& canvas);
    // The canvas's premultiplied pixels, where not clear.
    static SparseLayer pixelsOf(const Canvas& canvas);

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<Point>& points() const { return m_points; }
    bool empty() const { return m_points.empty(); }
    std::size_t bytes() const { return m_points.size() * sizeof(Point); }

private:
    template <typename Value> static SparseLayer of(const Canvas& canvas, Value value);

    int m_width = 0;
    int m_height = 0;
    std::vector<Point> m_points;
};

// A picture put together from kept layers in one pass of plain arithmetic, for pictures that
// change many times a second (a streamed key: its kept cap, its light in a new colour, its
// label). Each layer is blended over the ones below as the canvas's own drawing blends it, to
// the same rounding, so the result matches the picture drawn layer by layer.
struct PixelLayers {
    const Image* base = nullptr; // put as it is, replacing what lies beneath
    // The light: `lightArgb` (straight, not premultiplied; alpha is its opacity) shown as
    // strongly as `light` covers each pixel, as drawImageTinted shows an image's shape.
    const SparseLayer* light = nullptr;
    DWORD lightArgb = 0;
    const SparseLayer* top = nullptr; // premultiplied pixels drawn over the rest
};

// True when the layers fit together: a base with pixels, the light and top of its size.
bool layersFit(const PixelLayers& layers);
// Writes the layers' picture at `target`, base's size, rows `stride` bytes apart. The layers
// must fit.
void composeLayers(const PixelLayers& layers, std::uint32_t* target, int stride);

} // namespace ui
