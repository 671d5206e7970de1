#include "ui/kept_picture.h"

#include <algorithm>

namespace ui {

void KeptPicture::keep(const Canvas& canvas, const RECT& rc)
{
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0 || rc.left < 0 || rc.top < 0 || rc.right > canvas.width() ||
        rc.bottom > canvas.height()) {
        drop();
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(canvas.pixels());
    const int stride = canvas.stride();
    m_pixels.width = width;
    m_pixels.height = height;
    m_pixels.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(rc.top + y) * stride) +
            rc.left;
        std::copy(row, row + width, m_pixels.pixels.begin() + std::ptrdiff_t(y) * width);
    }
    m_at = rc;
}

bool KeptPicture::holds(const RECT& rc) const
{
    return !m_pixels.pixels.empty() && m_at == rc;
}

bool KeptPicture::putBack(Canvas& canvas, const RECT& rc) const
{
    return holds(rc) && canvas.putPixels(m_pixels, POINT{rc.left, rc.top});
}

void KeptPicture::drop()
{
    m_pixels = Image{};
    m_at = RECT{};
}

} // namespace ui
