#include "ui/lit_picture.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <tuple>

namespace ui {
namespace {

// Two pixels a step, a 16-bit lane a channel: each product of two channels fits a lane, so
// one multiply instruction serves eight channels.
constexpr std::size_t kStep = 2;
using Bytes = std::uint8_t __attribute__((vector_size(8)));
using Lanes = std::uint16_t __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Lanes widen(const std::uint32_t* pixels)
{
    Bytes bytes;
    std::memcpy(&bytes, pixels, sizeof bytes);
    return __builtin_convertvector(bytes, Lanes);
}

// Each channel's alpha, in its pixel's four lanes (a pixel's bytes are blue, green, red,
// alpha in memory).
[[gnu::always_inline]] inline Lanes alphas(Lanes pixels)
{
    return __builtin_shufflevector(pixels, pixels, 3, 3, 3, 3, 7, 7, 7, 7);
}

// x / 255 for a product of two channels, rounded as the canvas's compositor rounds it.
[[gnu::always_inline]] inline Lanes divide255(Lanes x)
{
    x += 0x80;
    return (x + (x >> 8)) >> 8;
}

// Premultiplied source over target. The compositor's add saturates, which premultiplied
// pixels never need: a channel is at most its alpha a, and what shows of the target at most
// 255 - a.
[[gnu::always_inline]] inline Lanes over(Lanes source, Lanes target)
{
    return source + divide255(target * (Lanes{} + 0xFF - alphas(source)));
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

// One premultiplied pixel over another, as the blending does it.
std::uint32_t overPixel(std::uint32_t source, std::uint32_t target)
{
    const std::uint32_t sources[kStep] = {source, 0};
    const std::uint32_t targets[kStep] = {target, 0};
    const Bytes result = __builtin_convertvector(over(widen(sources), widen(targets)), Bytes);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, &result, sizeof pixel);
    return pixel;
}

bool holdsPixels(const Image& image)
{
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == std::size_t(image.width) * std::size_t(image.height);
}

} // namespace

LitPicture LitPicture::of(const Image& base, const Canvas* light, const Canvas* top)
{
    LitPicture picture;
    const auto fits = [&base](const Canvas* layer) {
        return !layer || (layer->width() == base.width && layer->height() == base.height);
    };
    // Larger pictures cannot be named by the 16-bit places.
    if (!holdsPixels(base) || base.width > 0xFFFF || base.height > 0xFFFF || !fits(light) ||
        !fits(top))
        return picture;
    static std::atomic<std::uint64_t> s_made{0};
    picture.m_id = ++s_made;
    picture.m_base = base;
    const auto rowOf = [](const Canvas* layer, int y) -> const std::uint32_t* {
        return layer ? reinterpret_cast<const std::uint32_t*>(
                           reinterpret_cast<const unsigned char*>(layer->pixels()) +
                           std::ptrdiff_t(y) * layer->stride())
                     : nullptr;
    };
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, std::uint16_t> blends;
    for (int y = 0; y < base.height; ++y) {
        const std::uint32_t* lightRow = rowOf(light, y);
        const std::uint32_t* topRow = rowOf(top, y);
        for (int x = 0; x < base.width; ++x) {
            const std::uint32_t cover = lightRow ? lightRow[x] >> 24 : 0;
            const std::uint32_t over = topRow ? topRow[x] : 0;
            std::uint32_t& under =
                picture.m_base.pixels[std::size_t(y) * std::size_t(base.width) + std::size_t(x)];
            if (cover == 0) {
                if (over != 0)
                    under = overPixel(over, under);
                continue;
            }
            const auto [found, added] = blends.try_emplace(std::make_tuple(under, cover, over),
                                                           std::uint16_t(blends.size()));
            // More distinct blends than 16 bits name: a picture of noise, not worth keeping.
            if (added && blends.size() > 0xFFFF)
                return LitPicture{};
            if (added) {
                picture.m_under.push_back(under);
                picture.m_cover.push_back(std::uint8_t(cover));
                picture.m_over.push_back(over);
            }
            picture.m_x.push_back(std::uint16_t(x));
            picture.m_y.push_back(std::uint16_t(y));
            picture.m_blend.push_back(found->second);
        }
    }
    // Whole steps of the blending: blends of nothing after the last.
    const std::size_t padded = (picture.m_under.size() + kStep - 1) / kStep * kStep;
    picture.m_under.resize(padded, 0);
    picture.m_cover.resize(padded, 0);
    picture.m_over.resize(padded, 0);
    return picture;
}

std::size_t LitPicture::bytes() const
{
    return m_base.pixels.size() * sizeof(std::uint32_t) + m_x.size() * 3 * sizeof(std::uint16_t) +
           m_under.size() * (2 * sizeof(std::uint32_t) + sizeof(std::uint8_t));
}

void LitPicture::drawInto(DWORD lightArgb, std::uint32_t* target, int stride, bool intact) const
{
    auto* bytes = reinterpret_cast<unsigned char*>(target);
    const auto rowBytes = std::size_t(m_base.width) * sizeof(std::uint32_t);
    for (int y = 0; y < m_base.height && !intact; ++y)
        std::memcpy(bytes + std::ptrdiff_t(y) * stride,
                    m_base.pixels.data() + std::size_t(y) * std::size_t(m_base.width), rowBytes);
    thread_local std::vector<std::uint32_t> blended;
    blended.resize(m_under.size());
    const std::uint32_t one = premultiplied(lightArgb);
    const std::uint32_t both[kStep] = {one, one};
    const Lanes light = widen(both);
    for (std::size_t i = 0; i < m_under.size(); i += kStep) {
        const std::uint16_t first = m_cover[i];
        const std::uint16_t second = m_cover[i + 1];
        const Lanes cover{first, first, first, first, second, second, second, second};
        const Lanes lit = over(divide255(light * cover), widen(&m_under[i]));
        const Bytes result = __builtin_convertvector(over(widen(&m_over[i]), lit), Bytes);
        std::memcpy(&blended[i], &result, sizeof result);
    }
    for (std::size_t i = 0; i < m_x.size(); ++i)
        reinterpret_cast<std::uint32_t*>(bytes + std::ptrdiff_t(m_y[i]) * stride)[m_x[i]] =
            blended[m_blend[i]];
}

} // namespace ui
