#pragma once

#include "ui/ui_types.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct FontStyle {
    std::wstring face;
    int size = 12; // pixel height at 96 DPI
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// An image string of a skin: a bare path, an absolute path, or the keyed form
// "file='a/b.png' dest='l,t,r,b' source='l,t,r,b' corner='l,t,r,b'". Empty clears.
struct ImageSource {
    std::wstring file;
    std::optional<RECT> dest;
    std::optional<RECT> source;
    RECT corner{};
};
std::optional<ImageSource> parseImageString(std::wstring_view text);

// Where an image file is: absolute paths stay, others are below the resource path.
// Either path separator is accepted.
std::filesystem::path resolveResourceFile(std::wstring_view file);

struct Image;
class LitPicture;

// The surface the paint manager draws a frame into. The backend behind it (cairo) is
// the only place that knows pixels; controls draw through these calls.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;

    virtual void clear(DWORD argb) = 0;
    // Clip to the intersection with the current clip until the matching popClip.
    virtual void pushClip(const RECT& rc) = 0;
    virtual void popClip() = 0;

    virtual void fillRect(const RECT& rc, DWORD argb) = 0;
    virtual void strokeRect(const RECT& rc, int width, DWORD argb) = 0;
    // A linear gradient across the rectangle, left to right or top to bottom.
    virtual void fillGradient(const RECT& rc, DWORD from, DWORD to, bool vertical) = 0;
    virtual void fillEllipse(const RECT& rc, DWORD argb) = 0;

    // Draws the image into rc (scaled); false when the file is missing or unreadable.
    virtual bool drawImage(const RECT& rc, const ImageSource& image, double scale) = 0;
    // Draws the image's shape filled with one colour, at the given opacity (0-255).
    virtual bool drawImageTinted(const RECT& rc, const ImageSource& image, DWORD rgb,
                                 int alpha) = 0;

    // font.size is in pixels at 96 DPI; scale converts to the device.
    virtual void drawText(const RECT& rc, std::wstring_view text, const FontStyle& font,
                          double scale, DWORD argb, UINT format) = 0;
    virtual SIZE measureText(std::wstring_view text, const FontStyle& font, double scale,
                             int maxWidth) = 0;

    // Puts the image's pixels with their top left at `at`, replacing what is there (inside
    // the clip): pixels read from this canvas go back unchanged. False when the canvas
    // cannot take them; then nothing was drawn.
    virtual bool putPixels(const Image& image, POINT at);
    // Puts the picture with its light in `lightArgb` (see LitPicture) with its top left at
    // `at`, wholly inside the clip. False, with nothing drawn, when the canvas cannot: the
    // caller draws the layers itself.
    virtual bool putLitPicture(const LitPicture& picture, DWORD lightArgb, POINT at);

    // Pixels as 0xAARRGGBB (premultiplied), row by row.
    virtual const std::uint32_t* pixels() const = 0;
    virtual int stride() const = 0; // in bytes
    virtual bool writePng(const std::filesystem::path& file) const = 0;
};

// Provided by the rendering backend.
std::unique_ptr<Canvas> createImageCanvas(int width, int height);
// A decoded PNG as 0xAARRGGBB pixels (premultiplied), for comparisons in tests.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
std::optional<Image> loadPng(const std::filesystem::path& file);
// Why an image file chosen by the user cannot be shown (too large, too many pixels or
// elements, unreadable), in words that name the limit; empty when it can. Decodes it once.
std::wstring imageFileProblem(const std::filesystem::path& file);
Image snapshot(const Canvas& canvas);
bool writePng(const Image& image, const std::filesystem::path& file);

// Forgets cached images and font objects (after a DPI change or a skin switch).
void resetRenderCaches();

} // namespace ui

// The static drawing helpers custom controls call.
class CRenderEngine {
public:
    static bool DrawImageString(ui::Canvas& canvas, const RECT& rc, std::wstring_view image,
                                double scale = 1.0);
    // The key button's light: the image's shape filled with rgb (0xRRGGBB) at alpha.
    static bool DrawImageTinted(ui::Canvas& canvas, const RECT& rc, std::wstring_view image,
                                DWORD rgb, int alpha);
    static void DrawColor(ui::Canvas& canvas, const RECT& rc, DWORD argb);
    static void DrawRect(ui::Canvas& canvas, const RECT& rc, int size, DWORD argb);
};
