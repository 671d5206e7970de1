#pragma once

#include "ui/render.h"

#include <cstdint>
#include <vector>

namespace ui {

// The pixels of a kept picture that the layers above it reach (a streamed key's light and
// label reach a few hundred of its thousands), each with how strongly the light covers it and
// the top layer's pixel over it. A frame then
// puts the picture together in one pass of plain arithmetic, blending each layer as the
// canvas's own drawing blends it, to the same rounding: the result matches the picture drawn
// layer by layer.
class LayerPoints {
public:
    // `light` holds the light's shape drawn alone in opaque white, `top` the top layer drawn
    // alone, each on a clear canvas of base's size; either may be null. Empty when base has no
    // pixels or a canvas is of another size.
    static LayerPoints of(const Image& base, const Canvas* light, const Canvas* top);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_x.empty(); }
    std::size_t bytes() const;

    // Writes every point over the picture it was taken over, with the light in `lightArgb`
    // (straight, not premultiplied; its alpha is the light's opacity, 0 for no light), as
    // drawImageTinted would show it. The target is where the picture's top left lies, rows
    // `stride` bytes apart. Base must be of the points' size.
    void composeInto(const Image& base, DWORD lightArgb, std::uint32_t* target, int stride) const;

private:
    int m_width = 0;
    int m_height = 0;
    // One entry a point, kept apart so the blending runs over plain arrays.
    std::vector<std::uint16_t> m_x;
    std::vector<std::uint16_t> m_y;
    std::vector<std::uint8_t> m_cover;
    std::vector<std::uint32_t> m_over;
};

// A kept picture and the points its layers reach, put on a canvas in one pass.
struct PixelLayers {
    const Image* base = nullptr; // put as it is, replacing what lies beneath
    const LayerPoints* above = nullptr;
    DWORD lightArgb = 0; // see LayerPoints::composeInto
};

// True when the layers fit together: a base with pixels, and points of its size.
bool layersFit(const PixelLayers& layers);
// Writes the layers' picture at `target`, base's size, rows `stride` bytes apart. The layers
// must fit.
void composeLayers(const PixelLayers& layers, std::uint32_t* target, int stride);

} // namespace ui
