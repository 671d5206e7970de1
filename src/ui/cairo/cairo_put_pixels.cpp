#include "ui/cairo/cairo_put_pixels.h"

#include <cstdint>
#include <limits>

namespace ui {

bool putImagePixels(cairo_t* cr, const Image& image, POINT at)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.width > std::numeric_limits<int>::max() / 4 ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height))
        return false;
    // The image's own rows are the surface: nothing is copied before the paint itself.
    // Cairo only reads a surface used as a source.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(image.pixels.data())),
        CAIRO_FORMAT_ARGB32, image.width, image.height, image.width * 4);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, surface, at.x, at.y);
    cairo_rectangle(cr, at.x, at.y, image.width, image.height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
    return true;
}

} // namespace ui
