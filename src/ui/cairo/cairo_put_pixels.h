#pragma once

#include "ui/render.h"

#include <cairo.h>

namespace ui {

// Puts the image's pixels into the context's target with their top left at `at`, replacing
// what is there inside the context's clip. False when the image cannot be shown as it is.
bool putImagePixels(cairo_t* cr, const Image& image, POINT at);

} // namespace ui
