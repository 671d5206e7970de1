#pragma once

#include "ui/render.h"

#include <cstdint>
#include <vector>

namespace ui {

// A kept picture with a light over it whose colour changes with every frame (a streamed
// key: its cap, its light, its label). What does not change is put together once: the
// picture with the top layer where the light does not reach. Each frame then blends only the
// pixels the light reaches, and those with the same pixel under them and the same cover
// once: a key's ring of light is hundreds of pixels, but a few dozen distinct ones. Layers
// blend as the canvas's own drawing blends them, to the same rounding, so the picture
// matches the one drawn layer by layer.
class LitPicture {
public:
    // `light` holds the light's shape drawn alone in opaque white, `top` the layer over the
    // light drawn alone, each on a clear canvas of base's size; either may be null. Empty
    // when base has no pixels or a canvas is of another size.
    static LitPicture of(const Image& base, const Canvas* light, const Canvas* top);

    bool empty() const { return m_base.pixels.empty(); }
    int width() const { return m_base.width; }
    int height() const { return m_base.height; }
    std::size_t bytes() const;

    // Writes the picture with the light in `lightArgb` (straight, not premultiplied; its
    // alpha is the light's opacity, 0 for no light), as drawImageTinted would show it. The
    // target is where the picture's top left goes, width() x height() pixels, rows `stride`
    // bytes apart.
    // `intact`: the target holds this picture as last drawn, so only lit pixels are written.
    void drawInto(DWORD lightArgb, std::uint32_t* target, int stride, bool intact = false) const;
    // Names this picture among all made in the process; a copy has its original's.
    std::uint64_t id() const { return m_id; }

private:
    std::uint64_t m_id = 0;
    Image m_base; // the picture, with the top layer where the light does not reach
    // Each pixel the light reaches, and which of the distinct blends it shows.
    std::vector<std::uint16_t> m_x;
    std::vector<std::uint16_t> m_y;
    std::vector<std::uint16_t> m_blend;
    // The distinct blends: the pixel under the light, its cover, the top pixel over it.
    std::vector<std::uint32_t> m_under;
    std::vector<std::uint8_t> m_cover;
    std::vector<std::uint32_t> m_over;
};

} // namespace ui
