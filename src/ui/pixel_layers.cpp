#include "ui/pixel_layers.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace {

// Each 8-bit channel of x times a / 255, rounded as the canvas's compositor rounds it.
[[gnu::always_inline]] inline std::uint32_t multiply(std::uint32_t x, std::uint32_t a)
{
    std::uint32_t rb = (x & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag = ((x >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// Channel by channel, held at 255.
[[gnu::always_inline]] inline std::uint32_t addSaturated(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t rb = (x & 0x00FF00FFu) + (y & 0x00FF00FFu);
    rb = (rb | (0x01000100u - ((rb >> 8) & 0x00FF00FFu))) & 0x00FF00FFu;
    std::uint32_t ag = ((x >> 8) & 0x00FF00FFu) + ((y >> 8) & 0x00FF00FFu);
    ag = (ag | (0x01000100u - ((ag >> 8) & 0x00FF00FFu))) & 0x00FF00FFu;
    return rb | (ag << 8);
}

// Premultiplied source over destination.
[[gnu::always_inline]] inline std::uint32_t over(std::uint32_t source, std::uint32_t target)
{
    const std::uint32_t alpha = source >> 24;
    if (alpha == 0xFF)
        return source;
    return addSaturated(source, multiply(target, 0xFF - alpha));
}

// The colour as the canvas sets it: each channel as a double, premultiplied and held in 16
// bits, of which the compositor keeps the top 8.
std::uint32_t premultiplied(DWORD argb)
{
    const double alpha = ((argb >> 24) & 0xFF) / 255.0;
    const auto channel = [alpha](double value) {
        return std::uint32_t(std::uint16_t(value * alpha * 65535.0 + 0.5)) >> 8;
    };
    const std::uint32_t a = std::uint32_t(std::uint16_t(alpha * 65535.0 + 0.5)) >> 8;
    return a << 24 | channel(((argb >> 16) & 0xFF) / 255.0) << 16 |
           channel(((argb >> 8) & 0xFF) / 255.0) << 8 | channel((argb & 0xFF) / 255.0);
}

bool holdsPixels(const Image& image)
{
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == std::size_t(image.width) * std::size_t(image.height);
}

} // namespace

template <typename Value> SparseLayer SparseLayer::of(const Canvas& canvas, Value value)
{
    SparseLayer layer;
    // Larger canvases cannot be named by the points' 16-bit places: they keep nothing.
    if (canvas.width() > 0xFFFF || canvas.height() > 0xFFFF)
        return layer;
    layer.m_width = canvas.width();
    layer.m_height = canvas.height();
    const auto* bytes = reinterpret_cast<const unsigned char*>(canvas.pixels());
    for (int y = 0; y < layer.m_height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(bytes + std::ptrdiff_t(y) * canvas.stride());
        for (int x = 0; x < layer.m_width; ++x) {
            if (const std::uint32_t shown = value(row[x]); shown != 0)
                layer.m_points.push_back(Point{std::uint16_t(x), std::uint16_t(y), shown});
        }
    }
    layer.m_points.shrink_to_fit();
    return layer;
}

SparseLayer SparseLayer::coverageOf(const Canvas& canvas)
{
    return of(canvas, [](std::uint32_t pixel) { return pixel >> 24; });
}

SparseLayer SparseLayer::pixelsOf(const Canvas& canvas)
{
    return of(canvas, [](std::uint32_t pixel) { return pixel; });
}

bool layersFit(const PixelLayers& layers)
{
    if (!layers.base || !holdsPixels(*layers.base))
        return false;
    const Image& base = *layers.base;
    const auto fits = [&base](const SparseLayer* layer) {
        return !layer || (layer->width() == base.width && layer->height() == base.height);
    };
    return fits(layers.light) && fits(layers.top);
}

void composeLayers(const PixelLayers& layers, std::uint32_t* target, int stride)
{
    const Image& base = *layers.base;
    auto* bytes = reinterpret_cast<unsigned char*>(target);
    const auto at = [bytes, stride](const SparseLayer::Point& point) -> std::uint32_t& {
        return reinterpret_cast<std::uint32_t*>(bytes + std::ptrdiff_t(point.y) * stride)[point.x];
    };
    for (int y = 0; y < base.height; ++y)
        std::memcpy(bytes + std::ptrdiff_t(y) * stride,
                    base.pixels.data() + std::size_t(y) * std::size_t(base.width),
                    std::size_t(base.width) * 4);
    if (layers.light) {
        const std::uint32_t light = premultiplied(layers.lightArgb);
        if (light != 0) {
            for (const SparseLayer::Point& point : layers.light->points()) {
                std::uint32_t& pixel = at(point);
                pixel = over(multiply(light, point.value), pixel);
            }
        }
    }
    if (layers.top) {
        for (const SparseLayer::Point& point : layers.top->points()) {
            std::uint32_t& pixel = at(point);
            pixel = over(point.value, pixel);
        }
    }
}

} // namespace ui
