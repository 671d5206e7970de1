#include "light_png.h"

#include "device/model/lighting_tables.h"

#include <cairo.h>

#include <algorithm>
#include <memory>

namespace cli {

namespace {

template <auto Destroy> struct FreeWith {
    template <class T> void operator()(T* p) const { Destroy(p); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, FreeWith<cairo_surface_destroy>>;
using CairoContext = std::unique_ptr<cairo_t, FreeWith<cairo_destroy>>;

constexpr int kCell = 14;
constexpr int kGap = 2;
constexpr int kMargin = 8;
constexpr int kFramesPerRow = 8;
constexpr int kFrameWidth = model::kGridColumns * (kCell + kGap) - kGap;
constexpr int kFrameHeight = model::kGridRows * (kCell + kGap) - kGap;

} // namespace

bool writeLightStripPng(const std::string& path, const std::vector<model::LightFrame>& frames,
                        std::string& error)
{
    if (frames.empty() || frames.size() > kMaxStripFrames) {
        error = "between 1 and " + std::to_string(kMaxStripFrames) + " frames can be drawn";
        return false;
    }
    const int count = int(frames.size());
    const int columns = std::min(count, kFramesPerRow);
    const int rows = (count + kFramesPerRow - 1) / kFramesPerRow;
    const int width = kMargin + columns * (kFrameWidth + kMargin);
    const int height = kMargin + rows * (kFrameHeight + kMargin);

    CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error = cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }
    CairoContext cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 0.35, 0.35, 0.35);
    cairo_paint(cr.get());

    for (int index = 0; index < count; ++index) {
        const int left = kMargin + (index % kFramesPerRow) * (kFrameWidth + kMargin);
        const int top = kMargin + (index / kFramesPerRow) * (kFrameHeight + kMargin);
        for (int column = 0; column < model::kGridColumns; ++column) {
            for (int row = 0; row < model::kGridRows; ++row) {
                const int light = model::gridLight(column, row);
                if (light == model::kNoLight)
                    continue;
                // What the LED shows: each component scaled by the brightness.
                const model::LightColour colour = frames[index][light];
                auto shown = [&](int component) {
                    return ((component * colour.brightness) >> 8) / 255.0;
                };
                cairo_set_source_rgb(cr.get(), shown(colour.red), shown(colour.green),
                                     shown(colour.blue));
                cairo_rectangle(cr.get(), left + column * (kCell + kGap),
                                top + row * (kCell + kGap), kCell, kCell);
                cairo_fill(cr.get());
            }
        }
    }
    cairo_surface_flush(surface.get());
    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        error = std::string("cannot write ") + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

} // namespace cli
