// The cairo and Pango painter behind ui::Canvas.
#include "ui/frame_canvas.h"
#include "ui/lit_picture.h"
#include "ui/render_memory.h"

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/library_pages.h"
#include "platform/process_memory.h"
#include "platform/text.h"
#include "ui/cairo/cairo_put_pixels.h"
#include "ui/image_limits.h"

#include <cairo.h>
#include <librsvg/rsvg.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <gio/gio.h>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace ui {
namespace {

template <auto Destroy> struct FreeWith {
    template <class T> void operator()(T* p) const { Destroy(p); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, FreeWith<cairo_surface_destroy>>;
using CairoContext = std::unique_ptr<cairo_t, FreeWith<cairo_destroy>>;
using FontDescription =
    std::unique_ptr<PangoFontDescription, FreeWith<pango_font_description_free>>;

// Families tried after the skin's own face, so Latin, Chinese and Thai all find glyphs.
constexpr const char* kFallbackFamilies = ",Noto Sans,WenQuanYi Micro Hei,Noto Sans Thai,Sans";

using SvgHandle = std::unique_ptr<RsvgHandle, FreeWith<g_object_unref>>;

// An image name of the skin, resolved once: the drawing it stands for and its size.
struct LoadedImage {
    RsvgHandle* vector = nullptr; // set for a vector image
    double vectorWidth = 0;
    double vectorHeight = 0;
    cairo_surface_t* bitmap = nullptr; // set for a PNG; both null: missing or unreadable
};

// Names are looked up without building a key: every key of every frame asks.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::wstring_view name) const noexcept
    {
        return std::hash<std::wstring_view>{}(name);
    }
};

struct Caches {
    std::mutex lock;
    // By the name as the skin writes it, so a frame's lookups touch no file system.
    std::unordered_map<std::wstring, LoadedImage, NameHash, std::equal_to<>> names;
    std::map<std::filesystem::path, CairoSurface> images; // null: known to be unreadable
    std::map<std::filesystem::path, SvgHandle> vectors;   // null: known to be unreadable
    // Vector images drawn at one size, so a frame that repaints them only copies pixels.
    std::map<std::tuple<const RsvgHandle*, int, int, int, int, int, int>, CairoSurface> rasters;
    std::map<std::tuple<std::wstring, int, bool, bool>, FontDescription> fonts;
};

Caches& caches()
{
    static Caches instance;
    return instance;
}

struct PngReader {
    std::string_view rest;
};

cairo_status_t readPngBytes(void* closure, unsigned char* data, unsigned int length)
{
    auto& reader = *static_cast<PngReader*>(closure);
    if (reader.rest.size() < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader.rest.data(), length);
    reader.rest.remove_prefix(length);
    return CAIRO_STATUS_SUCCESS;
}

// The file's bytes, read once and checked before any decoder sees them. The problem is
// empty when the bytes may be decoded.
struct CheckedBytes {
    std::string bytes;
    std::wstring problem;
};

CheckedBytes readImageFile(const std::filesystem::path& path, bool svg)
{
    auto read = platform::readFileBounded(path, kMaxImageFileSize);
    if (!read)
        return {{}, platform::fromUtf8(read.error().message)};
    std::wstring problem = imageBytesProblem(*read, svg);
    return {std::move(*read), std::move(problem)};
}

CairoSurface decodePng(const std::filesystem::path& path, std::wstring& problem)
{
    CheckedBytes file = readImageFile(path, false);
    problem = std::move(file.problem);
    if (!problem.empty())
        return nullptr;
    PngReader reader{file.bytes};
    CairoSurface surface(cairo_image_surface_create_from_png_stream(readPngBytes, &reader));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        problem = L"not a readable PNG image";
        return nullptr;
    }
    return surface;
}

// The size an SVG is drawn at by default: its intrinsic size, else its extent.
bool svgExtent(RsvgHandle* handle, double& width, double& height)
{
    gdouble w = 0;
    gdouble h = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h) || w <= 0 || h <= 0) {
        RsvgRectangle ink{};
        RsvgRectangle logical{};
        if (!rsvg_handle_get_geometry_for_layer(handle, nullptr, nullptr, &ink, &logical, nullptr))
            return false;
        w = logical.width;
        h = logical.height;
    }
    width = w;
    height = h;
    return true;
}

std::optional<PixelSize> svgSize(RsvgHandle* handle)
{
    double width = 0;
    double height = 0;
    if (!svgExtent(handle, width, height))
        return std::nullopt;
    if (!std::isfinite(width) || !std::isfinite(height))
        return PixelSize{std::numeric_limits<std::int64_t>::max(), 1};
    const auto clamp = [](gdouble v) {
        return static_cast<std::int64_t>(std::min(std::ceil(v), 9.0e15));
    };
    return PixelSize{clamp(width), clamp(height)};
}

SvgHandle decodeSvg(const std::filesystem::path& path, std::wstring& problem)
{
    CheckedBytes file = readImageFile(path, true);
    problem = std::move(file.problem);
    if (!problem.empty())
        return nullptr;
    using InputStream = std::unique_ptr<GInputStream, FreeWith<g_object_unref>>;
    using File = std::unique_ptr<GFile, FreeWith<g_object_unref>>;
    InputStream stream(g_memory_input_stream_new_from_data(
        file.bytes.data(), static_cast<gssize>(file.bytes.size()), nullptr));
    File base(g_file_new_for_path(path.c_str()));
    GError* failure = nullptr;
    SvgHandle handle(rsvg_handle_new_from_stream_sync(stream.get(), base.get(),
                                                      RSVG_HANDLE_FLAGS_NONE, nullptr, &failure));
    if (failure)
        g_error_free(failure);
    if (!handle) {
        problem = L"not a readable SVG drawing";
        return nullptr;
    }
    const auto size = svgSize(handle.get());
    problem = size ? pixelSizeProblem(*size) : std::wstring(L"the drawing has no size");
    if (!problem.empty())
        return nullptr;
    return handle;
}

// A vector image: an ".svg" file, or the ".svg" beside a named ".png", which then stands
// for it. Drawn at the size it is shown at, so it stays sharp at every scale.
// Called with the caches' lock held.
RsvgHandle* loadVectorImageLocked(Caches& c, std::filesystem::path path)
{
    if (path.extension() == ".png") {
        path.replace_extension(".svg");
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            return nullptr;
    } else if (path.extension() != ".svg") {
        return nullptr;
    }
    if (const auto found = c.vectors.find(path); found != c.vectors.end())
        return found->second.get();
    std::wstring problem;
    SvgHandle handle = decodeSvg(path, problem);
    if (!handle)
        platform::debugOutput(L"image not loaded: " + path.wstring() + L": " + problem);
    return c.vectors.emplace(path, std::move(handle)).first->second.get();
}

cairo_surface_t* loadBitmapLocked(Caches& c, const std::filesystem::path& path)
{
    if (const auto found = c.images.find(path); found != c.images.end())
        return found->second.get();
    std::wstring problem;
    CairoSurface surface = decodePng(path, problem);
    if (!surface)
        platform::debugOutput(L"image not loaded: " + path.wstring() + L": " + problem);
    return c.images.emplace(path, std::move(surface)).first->second.get();
}

// The image a name stands for; null members when it is missing or unreadable.
LoadedImage loadImage(std::wstring_view file)
{
    auto& c = caches();
    std::lock_guard guard(c.lock);
    if (const auto found = c.names.find(file); found != c.names.end())
        return found->second;
    const auto path = resolveResourceFile(file);
    LoadedImage image;
    image.vector = loadVectorImageLocked(c, path);
    if (image.vector && !svgExtent(image.vector, image.vectorWidth, image.vectorHeight))
        image.vector = nullptr;
    if (!image.vector)
        image.bitmap = loadBitmapLocked(c, path);
    return c.names.emplace(std::wstring(file), image).first->second;
}

const PangoFontDescription* fontFor(const FontStyle& font, double scale)
{
    const int pixels = std::max(1, static_cast<int>(std::lround(font.size * scale)));
    auto& c = caches();
    std::lock_guard guard(c.lock);
    const auto key = std::make_tuple(font.face, pixels, font.bold, font.italic);
    if (const auto found = c.fonts.find(key); found != c.fonts.end())
        return found->second.get();
    FontDescription description(pango_font_description_new());
    const std::string family = platform::toUtf8(font.face) + kFallbackFamilies;
    pango_font_description_set_family(description.get(), family.c_str());
    pango_font_description_set_absolute_size(description.get(), pixels * PANGO_SCALE);
    pango_font_description_set_weight(description.get(),
                                      font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description.get(),
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return c.fonts.emplace(key, std::move(description)).first->second.get();
}

void setColor(cairo_t* cr, DWORD argb)
{
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

// Set when the vector library drew since its pages were last given back.
std::atomic<bool> g_vectorLibraryRan{false};

// Bumped when fonts or scale change: shaped text is then shaped again.
std::atomic<std::uint64_t> g_renderGeneration{0};

// How a text is shaped, apart from its words and face.
constexpr unsigned kBold = 1;
constexpr unsigned kItalic = 2;
constexpr unsigned kUnderline = 4;
constexpr unsigned kWrap = 8;
constexpr unsigned kEllipsis = 16;
constexpr unsigned kCentre = 32;
constexpr unsigned kRight = 64;
struct TextStyle {
    int pixels = 0;
    unsigned flags = 0;
    int width = 0; // only for wrapped or ellipsised text
    bool operator==(const TextStyle&) const = default;
};
struct TextKeyView {
    std::wstring_view text;
    std::wstring_view face;
    TextStyle style;
};
struct TextKey {
    std::wstring text;
    std::wstring face;
    TextStyle style;
    operator TextKeyView() const { return {text, face, style}; }
};
struct TextKeyHash {
    using is_transparent = void;
    std::size_t operator()(const TextKeyView& key) const noexcept
    {
        std::size_t hash = std::hash<std::wstring_view>{}(key.text);
        const auto mix = [&hash](std::size_t value) {
            hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
        };
        mix(std::hash<std::wstring_view>{}(key.face));
        mix(std::size_t(key.style.pixels));
        mix(key.style.flags);
        mix(std::size_t(key.style.width));
        return hash;
    }
    std::size_t operator()(const TextKey& key) const noexcept { return (*this)(TextKeyView(key)); }
};
bool operator==(const TextKeyView& a, const TextKeyView& b)
{
    return a.text == b.text && a.face == b.face && a.style == b.style;
}

// Copies one image surface's pixels into another of the same size.
void copyPicture(cairo_surface_t* from, cairo_surface_t* to)
{
    cairo_surface_flush(from);
    cairo_surface_flush(to);
    const unsigned char* source = cairo_image_surface_get_data(from);
    unsigned char* target = cairo_image_surface_get_data(to);
    const int sourceStride = cairo_image_surface_get_stride(from);
    const int targetStride = cairo_image_surface_get_stride(to);
    const auto rowBytes = std::size_t(cairo_image_surface_get_width(from)) * 4;
    for (int y = 0; y < cairo_image_surface_get_height(from); ++y)
        std::memcpy(target + std::ptrdiff_t(y) * targetStride,
                    source + std::ptrdiff_t(y) * sourceStride, rowBytes);
    cairo_surface_mark_dirty(to);
}

class CairoCanvas final : public FrameCanvas {
public:
    CairoCanvas(int width, int height)
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, width),
                                               std::max(1, height))),
          m_cr(cairo_create(m_surface.get())), m_layout(pango_cairo_create_layout(m_cr.get()))
    {
        // Fixed font options: frames must not depend on the desktop's settings.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(pango_layout_get_context(m_layout.get()), options);
        cairo_font_options_destroy(options);
        pango_layout_context_changed(m_layout.get());
    }

    ~CairoCanvas() override
    {
        if (m_lent && m_onEnd)
            m_onEnd();
    }

    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    bool lend(std::uint32_t* pixels, int stride, std::function<void()> onEnd) const override
    {
        const int w = width();
        const int h = height();
        if (!pixels || !m_clipRects.empty() || stride % 4 != 0 || stride < w * 4)
            return false;
        CairoSurface target(cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, w, h, stride));
        if (cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS)
            return false;
        copyPicture(m_surface.get(), target.get());
        paintOn(std::move(target));
        m_lent = true;
        m_onEnd = std::move(onEnd);
        return true;
    }

    void takeBack() const override
    {
        if (!m_lent)
            return;
        CairoSurface own(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width(), height()));
        // Without memory of its own the picture stays where it is, and the lender is about
        // to free it: better a canvas that paints nowhere than into freed memory.
        if (cairo_surface_status(own.get()) == CAIRO_STATUS_SUCCESS)
            copyPicture(m_surface.get(), own.get());
        paintOn(std::move(own));
        m_lent = false;
        m_onEnd = nullptr;
    }

    bool isLent() const override { return m_lent; }

    int width() const override { return cairo_image_surface_get_width(m_surface.get()); }
    int height() const override { return cairo_image_surface_get_height(m_surface.get()); }

    void clear(DWORD argb) override
    {
        touch(RECT{0, 0, width(), height()});
        cairo_save(m_cr.get());
        cairo_set_operator(m_cr.get(), CAIRO_OPERATOR_SOURCE);
        setColor(m_cr.get(), argb);
        cairo_paint(m_cr.get());
        cairo_restore(m_cr.get());
    }

    void pushClip(const RECT& rc) override
    {
        const RECT outer = m_clipRects.empty() ? RECT{0, 0, width(), height()} : m_clipRects.back();
        RECT clip;
        IntersectRect(clip, outer, rc); // an empty rectangle where they do not meet
        m_clipRects.push_back(clip);
        // A clip that takes nothing away is only counted: every container pushes its own
        // rectangle around the small ones a streamed frame paints, and cairo's clip is dear.
        const bool narrows = !(clip == outer) || clip.right <= clip.left || clip.bottom <= clip.top;
        m_clipNarrows.push_back(narrows);
        if (!narrows)
            return;
        cairo_save(m_cr.get());
        cairo_rectangle(m_cr.get(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_clip(m_cr.get());
    }

    void popClip() override
    {
        if (m_clipRects.empty())
            return;
        m_clipRects.pop_back();
        const bool narrowed = m_clipNarrows.back();
        m_clipNarrows.pop_back();
        if (narrowed)
            cairo_restore(m_cr.get());
    }

    void fillRect(const RECT& rc, DWORD argb) override
    {
        touch(rc);
        if ((argb >> 24) == 0 || rc.right <= rc.left || rc.bottom <= rc.top)
            return;
        setColor(m_cr.get(), argb);
        cairo_rectangle(m_cr.get(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_fill(m_cr.get());
    }

    void strokeRect(const RECT& rc, int lineWidth, DWORD argb) override
    {
        touch(rc);
        if ((argb >> 24) == 0 || lineWidth <= 0)
            return;
        setColor(m_cr.get(), argb);
        cairo_set_line_width(m_cr.get(), lineWidth);
        const double inset = lineWidth / 2.0;
        cairo_rectangle(m_cr.get(), rc.left + inset, rc.top + inset, rc.right - rc.left - lineWidth,
                        rc.bottom - rc.top - lineWidth);
        cairo_stroke(m_cr.get());
    }

    void fillGradient(const RECT& rc, DWORD from, DWORD to, bool vertical) override
    {
        touch(rc);
        cairo_pattern_t* pattern = vertical ? cairo_pattern_create_linear(0, rc.top, 0, rc.bottom)
                                            : cairo_pattern_create_linear(rc.left, 0, rc.right, 0);
        auto stop = [pattern](double offset, DWORD argb) {
            cairo_pattern_add_color_stop_rgba(pattern, offset, ((argb >> 16) & 0xFF) / 255.0,
                                              ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                                              ((argb >> 24) & 0xFF) / 255.0);
        };
        stop(0, from);
        stop(1, to);
        cairo_set_source(m_cr.get(), pattern);
        cairo_rectangle(m_cr.get(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_fill(m_cr.get());
        cairo_pattern_destroy(pattern);
    }

    void fillEllipse(const RECT& rc, DWORD argb) override
    {
        touch(rc);
        if ((argb >> 24) == 0)
            return;
        const double cx = (rc.left + rc.right) / 2.0;
        const double cy = (rc.top + rc.bottom) / 2.0;
        const double rx = (rc.right - rc.left) / 2.0;
        const double ry = (rc.bottom - rc.top) / 2.0;
        if (rx <= 0 || ry <= 0)
            return;
        cairo_save(m_cr.get());
        cairo_translate(m_cr.get(), cx, cy);
        cairo_scale(m_cr.get(), rx, ry);
        cairo_arc(m_cr.get(), 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(m_cr.get());
        setColor(m_cr.get(), argb);
        cairo_fill(m_cr.get());
    }

    bool drawImage(const RECT& rc, const ImageSource& image, double) override
    {
        touch(rc);
        return paintImage(rc, image, std::nullopt);
    }

    bool drawImageTinted(const RECT& rc, const ImageSource& image, DWORD rgb, int alpha) override
    {
        touch(rc);
        return paintImage(
            rc, image, (static_cast<DWORD>(std::clamp(alpha, 0, 255)) << 24) | (rgb & 0x00FFFFFF));
    }

    void drawText(const RECT& rc, std::wstring_view text, const FontStyle& font, double scale,
                  DWORD argb, UINT format) override
    {
        touch(rc);
        if (text.empty() || (argb >> 24) == 0 || rc.right <= rc.left || rc.bottom <= rc.top)
            return;
        CachedLayout& cached = prepareLayout(text, font, scale, format, rc.right - rc.left);
        PangoLayout* layout = cached.layout.get();
        int textWidth = 0;
        int textHeight = 0;
        pango_layout_get_pixel_size(layout, &textWidth, &textHeight);
        double top = rc.top;
        if ((format & DT_VCENTER) != 0)
            top = rc.top + (rc.bottom - rc.top - textHeight) / 2.0;
        else if ((format & DT_BOTTOM) != 0)
            top = rc.bottom - textHeight;
        cairo_save(m_cr.get());
        cairo_rectangle(m_cr.get(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_clip(m_cr.get());
        setColor(m_cr.get(), argb);
        double left = rc.left;
        if ((format & DT_WORDBREAK) == 0 && (format & DT_END_ELLIPSIS) == 0) {
            if ((format & DT_CENTER) != 0)
                left = rc.left + (rc.right - rc.left - textWidth) / 2.0;
            else if ((format & DT_RIGHT) != 0)
                left = rc.right - textWidth;
        }
        const double x = std::floor(left);
        const double y = std::floor(top);
        if (const RenderedText* rendered = renderedText(cached, argb)) {
            cairo_set_source_surface(m_cr.get(), rendered->surface.get(), x + rendered->left,
                                     y + rendered->top);
            cairo_paint(m_cr.get());
        } else {
            cairo_move_to(m_cr.get(), x, y);
            pango_cairo_show_layout(m_cr.get(), layout);
        }
        cairo_restore(m_cr.get());
    }

    SIZE measureText(std::wstring_view text, const FontStyle& font, double scale,
                     int maxWidth) override
    {
        if (text.empty())
            return SIZE{};
        PangoLayout* layout =
            prepareLayout(text, font, scale, maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE, maxWidth)
                .layout.get();
        int width = 0;
        int height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        return SIZE{width, height};
    }

    bool putPixels(const Image& image, POINT at) override
    {
        touch(RECT{at.x, at.y, at.x + image.width, at.y + image.height});
        return copyPixels(image, at) || putImagePixels(m_cr.get(), image, at);
    }

    bool putLitPicture(const LitPicture& picture, DWORD lightArgb, POINT at) override
    {
        std::uint32_t* target =
            picture.empty() ? nullptr : writableAt(at, picture.width(), picture.height());
        if (!target)
            return false;
        const RECT rc{at.x, at.y, at.x + picture.width(), at.y + picture.height()};
        // Put here last and not drawn over since: only its lit pixels change.
        const bool intact = std::any_of(m_intact.begin(), m_intact.end(), [&](const Intact& known) {
            return known.picture == picture.id() && known.rc == rc;
        });
        if (!intact) {
            touch(rc);
            m_intact.push_back(Intact{rc, picture.id()});
        }
        picture.drawInto(lightArgb, target, cairo_image_surface_get_stride(m_surface.get()),
                         intact);
        cairo_surface_mark_dirty_rectangle(m_surface.get(), at.x, at.y, picture.width(),
                                           picture.height());
        return true;
    }

    const std::uint32_t* pixels() const override
    {
        cairo_surface_flush(m_surface.get());
        return reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(m_surface.get()));
    }

    int stride() const override { return cairo_image_surface_get_stride(m_surface.get()); }

    bool writePng(const std::filesystem::path& file) const override
    {
        cairo_surface_flush(m_surface.get());
        return cairo_surface_write_to_png(m_surface.get(), file.c_str()) == CAIRO_STATUS_SUCCESS;
    }

private:
    using Layout = std::unique_ptr<PangoLayout, FreeWith<g_object_unref>>;

    // Pixels wholly inside the surface and the clip are copied row by row: the same result
    // as cairo's SOURCE paint, without a surface, a path and a composite for each of the
    // thousands of keys a streamed picture puts back every second.
    bool copyPixels(const Image& image, POINT at)
    {
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != std::size_t(image.width) * std::size_t(image.height))
            return false;
        std::uint32_t* target = writableAt(at, image.width, image.height);
        if (!target)
            return false;
        const int stride = cairo_image_surface_get_stride(m_surface.get());
        for (int y = 0; y < image.height; ++y)
            std::copy_n(image.pixels.begin() + std::ptrdiff_t(y) * image.width, image.width,
                        reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(target) +
                                                         std::ptrdiff_t(y) * stride));
        cairo_surface_mark_dirty_rectangle(m_surface.get(), at.x, at.y, image.width, image.height);
        return true;
    }

    // The surface's memory at `at`, ready to be written, when width x height pixels there lie
    // wholly inside the surface and the clip; null otherwise.
    std::uint32_t* writableAt(POINT at, int w, int h)
    {
        const RECT clip = m_clipRects.empty() ? RECT{0, 0, width(), height()} : m_clipRects.back();
        if (w <= 0 || h <= 0 || at.x < clip.left || at.y < clip.top || at.x < 0 || at.y < 0 ||
            w > clip.right - at.x || h > clip.bottom - at.y || w > width() - at.x ||
            h > height() - at.y)
            return nullptr;
        cairo_surface_t* surface = m_surface.get();
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        if (!data || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
            return nullptr;
        return reinterpret_cast<std::uint32_t*>(
                   data + std::ptrdiff_t(at.y) * cairo_image_surface_get_stride(surface)) +
               at.x;
    }

    // Whatever is drawn in rc (within the clip) may change a lit picture put there.
    void touch(const RECT& rc)
    {
        if (m_intact.empty())
            return;
        RECT drawn = rc;
        if (!m_clipRects.empty() && !IntersectRect(drawn, drawn, m_clipRects.back()))
            return;
        std::erase_if(m_intact, [&](const Intact& known) {
            RECT both;
            return IntersectRect(both, known.rc, drawn);
        });
    }

    // The layouts keep their own context, made once: only the target changes.
    void paintOn(CairoSurface surface) const
    {
        m_cr.reset(cairo_create(surface.get()));
        m_surface = std::move(surface);
    }

    // A text drawn in one colour, kept as pixels: drawn again it is one copy, where Pango
    // would composite every glyph again (every key's label, each frame the picture moves).
    struct RenderedText {
        DWORD argb = 0;
        CairoSurface surface;
        int left = 0; // where the surface goes, from the point the layout is drawn at
        int top = 0;
    };
    struct CachedLayout {
        Layout layout;
        std::vector<RenderedText> rendered;
        DWORD drawnOnce = 0; // a colour drawn once: kept as pixels when drawn again
        bool drawnBefore = false;
    };

    // The text's pixels in this colour, made when it is drawn a second time (a text drawn
    // once, as most are, costs no memory); null: draw it through Pango.
    const RenderedText* renderedText(CachedLayout& cached, DWORD argb)
    {
        for (const RenderedText& rendered : cached.rendered) {
            if (rendered.argb == argb)
                return &rendered;
        }
        if (!cached.drawnBefore || cached.drawnOnce != argb) {
            cached.drawnBefore = true;
            cached.drawnOnce = argb;
            return nullptr;
        }
        PangoRectangle ink{};
        pango_layout_get_pixel_extents(cached.layout.get(), &ink, nullptr);
        // A pixel round the ink: antialiased edges may reach past the rounded extents.
        const int width = ink.width + 2;
        const int height = ink.height + 2;
        const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
        if (ink.width <= 0 || ink.height <= 0 || cached.rendered.size() >= kMaxColoursPerText ||
            bytes > kMaxRenderedTextBytes / 8)
            return nullptr;
        if (m_renderedBytes + bytes > kMaxRenderedTextBytes) {
            for (auto& [key, other] : m_layouts)
                other.rendered.clear();
            m_renderedBytes = 0;
        }
        CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return nullptr;
        CairoContext cr(cairo_create(surface.get()));
        setColor(cr.get(), argb);
        cairo_move_to(cr.get(), 1 - ink.x, 1 - ink.y);
        pango_cairo_show_layout(cr.get(), cached.layout.get());
        cairo_surface_flush(surface.get());
        m_renderedBytes += bytes;
        cached.rendered.push_back(RenderedText{argb, std::move(surface), ink.x - 1, ink.y - 1});
        return &cached.rendered.back();
    }

    // A layout is shaped once per text and style; a frame that draws the same words again
    // (every key's label while the picture animates) only shows it.
    CachedLayout& prepareLayout(std::wstring_view text, const FontStyle& font, double scale,
                                UINT format, int width)
    {
        const bool single = (format & DT_WORDBREAK) == 0;
        const bool ellipsis = single && (format & DT_END_ELLIPSIS) != 0;
        TextStyle style;
        style.pixels = std::max(1, static_cast<int>(std::lround(font.size * scale)));
        style.flags = (font.bold ? kBold : 0) | (font.italic ? kItalic : 0) |
                      (font.underline ? kUnderline : 0);
        if (!single || ellipsis) {
            style.flags |= (ellipsis ? kEllipsis : kWrap);
            if ((format & DT_CENTER) != 0)
                style.flags |= kCentre;
            else if ((format & DT_RIGHT) != 0)
                style.flags |= kRight;
            style.width = width > 0 ? width : -1;
        }
        const std::uint64_t generation = g_renderGeneration.load();
        if (generation != m_layoutGeneration || m_layouts.size() >= kMaxLayouts) {
            m_layouts.clear();
            m_renderedBytes = 0;
            m_layoutGeneration = generation;
        }
        const TextKeyView key{text, font.face, style};
        if (const auto found = m_layouts.find(key); found != m_layouts.end())
            return found->second;
        PangoLayout* layout = pango_layout_new(pango_layout_get_context(m_layout.get()));
        const std::string utf8 = platform::toUtf8(text);
        pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
        pango_layout_set_font_description(layout, fontFor(font, scale));
        if (font.underline) {
            PangoAttrList* attributes = pango_attr_list_new();
            pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            pango_layout_set_attributes(layout, attributes);
            pango_attr_list_unref(attributes);
        }
        pango_layout_set_height(layout, -1);
        if (single && !ellipsis) {
            // One unbroken line; drawText aligns it itself.
            pango_layout_set_width(layout, -1);
        } else {
            pango_layout_set_width(layout, width > 0 ? width * PANGO_SCALE : -1);
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
            pango_layout_set_ellipsize(layout,
                                       ellipsis ? PANGO_ELLIPSIZE_END : PANGO_ELLIPSIZE_NONE);
            PangoAlignment alignment = PANGO_ALIGN_LEFT;
            if ((style.flags & kCentre) != 0)
                alignment = PANGO_ALIGN_CENTER;
            else if ((style.flags & kRight) != 0)
                alignment = PANGO_ALIGN_RIGHT;
            pango_layout_set_alignment(layout, alignment);
        }
        return m_layouts
            .emplace(TextKey{std::wstring(text), font.face, style},
                     CachedLayout{Layout(layout), {}, 0, false})
            .first->second;
    }

    bool paintVector(const LoadedImage& loaded, const RECT& rc, const ImageSource& image,
                     std::optional<DWORD> tint)
    {
        RsvgHandle* handle = loaded.vector;
        const double width = loaded.vectorWidth;
        const double height = loaded.vectorHeight;
        RECT source{0, 0, static_cast<int>(width), static_cast<int>(height)};
        if (image.source)
            source = *image.source;
        const double sourceWidth = source.right - source.left;
        const double sourceHeight = source.bottom - source.top;
        if (sourceWidth <= 0 || sourceHeight <= 0)
            return false;
        const int targetWidth = rc.right - rc.left;
        const int targetHeight = rc.bottom - rc.top;
        cairo_surface_t* raster =
            rasterFor(handle, targetWidth, targetHeight, source, width, height);
        if (!raster)
            return false;
        cairo_t* cr = m_cr.get();
        cairo_save(cr);
        cairo_rectangle(cr, rc.left, rc.top, targetWidth, targetHeight);
        cairo_clip(cr);
        if (tint) {
            setColor(cr, *tint);
            cairo_mask_surface(cr, raster, rc.left, rc.top);
        } else {
            cairo_set_source_surface(cr, raster, rc.left, rc.top);
            cairo_paint(cr);
        }
        cairo_restore(cr);
        return true;
    }

    // The image drawn once at this size; later paints of the same size reuse it.
    static cairo_surface_t* rasterFor(RsvgHandle* handle, int targetWidth, int targetHeight,
                                      const RECT& source, double width, double height)
    {
        constexpr std::size_t kMaxRasters = 1024;
        auto& c = caches();
        std::lock_guard guard(c.lock);
        const auto key =
            std::make_tuple(static_cast<const RsvgHandle*>(handle), targetWidth, targetHeight,
                            source.left, source.top, source.right, source.bottom);
        if (const auto found = c.rasters.find(key); found != c.rasters.end())
            return found->second.get();
        if (c.rasters.size() >= kMaxRasters)
            c.rasters.clear();
        if (!pixelSizeProblem({targetWidth, targetHeight}).empty())
            return nullptr;
        CairoSurface surface(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, targetWidth, targetHeight));
        CairoContext cr(cairo_create(surface.get()));
        const double scaleX = targetWidth / static_cast<double>(source.right - source.left);
        const double scaleY = targetHeight / static_cast<double>(source.bottom - source.top);
        const RsvgRectangle viewport{-source.left * scaleX, -source.top * scaleY, width * scaleX,
                                     height * scaleY};
        g_vectorLibraryRan = true;
        if (!rsvg_handle_render_document(handle, cr.get(), &viewport, nullptr))
            return nullptr;
        cairo_surface_flush(surface.get());
        return c.rasters.emplace(key, std::move(surface)).first->second.get();
    }

    bool paintImage(const RECT& rc, const ImageSource& image, std::optional<DWORD> tint)
    {
        if (rc.right <= rc.left || rc.bottom <= rc.top)
            return false;
        const LoadedImage loaded = loadImage(image.file);
        if (loaded.vector)
            return paintVector(loaded, rc, image, tint);
        cairo_surface_t* surface = loaded.bitmap;
        if (!surface)
            return false;
        RECT source{0, 0, cairo_image_surface_get_width(surface),
                    cairo_image_surface_get_height(surface)};
        if (image.source) {
            source = *image.source;
            source.right = std::min(source.right, cairo_image_surface_get_width(surface));
            source.bottom = std::min(source.bottom, cairo_image_surface_get_height(surface));
        }
        const int sourceWidth = source.right - source.left;
        const int sourceHeight = source.bottom - source.top;
        if (sourceWidth <= 0 || sourceHeight <= 0)
            return false;
        cairo_t* cr = m_cr.get();
        cairo_save(cr);
        cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        cairo_clip(cr);
        cairo_translate(cr, rc.left, rc.top);
        cairo_scale(cr, static_cast<double>(rc.right - rc.left) / sourceWidth,
                    static_cast<double>(rc.bottom - rc.top) / sourceHeight);
        if (tint) {
            setColor(cr, *tint);
            cairo_mask_surface(cr, surface, -source.left, -source.top);
        } else {
            cairo_set_source_surface(cr, surface, -source.left, -source.top);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
            cairo_paint(cr);
        }
        cairo_restore(cr);
        return true;
    }

    // Enough for every label of a busy page; past it the cache starts again.
    static constexpr std::size_t kMaxLayouts = 512;
    // A text shows in a few colours (normal, hot, pushed, disabled).
    static constexpr std::size_t kMaxColoursPerText = 4;
    // Every label of the main window many times over (a key's legend is a few hundred
    // bytes); past it the pixels are made again as texts are drawn.
    static constexpr std::size_t kMaxRenderedTextBytes = 4 * 1024 * 1024;

    // Mutable: lending moves the picture between memories without changing it.
    mutable CairoSurface m_surface;
    mutable CairoContext m_cr;
    mutable bool m_lent = false;
    mutable std::function<void()> m_onEnd;
    // Lit pictures as last put, where nothing has been drawn over them since.
    struct Intact {
        RECT rc;
        std::uint64_t picture = 0;
    };
    std::vector<Intact> m_intact;
    // What the pushed clips leave, one rectangle a level (their intersection), and whether
    // the level narrowed cairo's clip.
    std::vector<RECT> m_clipRects;
    std::vector<bool> m_clipNarrows;
    Layout m_layout; // carries the context every cached layout is made in
    std::unordered_map<TextKey, CachedLayout, TextKeyHash, std::equal_to<>> m_layouts;
    std::uint64_t m_layoutGeneration = 0;
    std::size_t m_renderedBytes = 0;
};

} // namespace

std::unique_ptr<Canvas> createImageCanvas(int width, int height)
{
    return std::make_unique<CairoCanvas>(width, height);
}

void releaseRenderMemory()
{
    if (!g_vectorLibraryRan.exchange(false))
        return;
    // The library and the XML parser it reads drawings with.
    platform::releaseLibraryPages("rsvg_handle_render_document");
    platform::releaseLibraryPages("xmlParseDocument");
    // Parsing and drawing drawings is most of the passing work after start (a device's
    // picture); its freed blocks leave holes in the heap that stay resident otherwise.
    platform::releaseFreeHeap();
}

void resetRenderCaches()
{
    auto& c = caches();
    std::lock_guard guard(c.lock);
    g_renderGeneration.fetch_add(1);
    c.names.clear();
    c.images.clear();
    c.rasters.clear();
    c.vectors.clear();
    c.fonts.clear();
}

std::wstring imageFileProblem(const std::filesystem::path& file)
{
    std::wstring problem;
    const bool decoded = file.extension() == ".svg" ? decodeSvg(file, problem) != nullptr
                                                    : decodePng(file, problem) != nullptr;
    if (!decoded && problem.empty())
        problem = L"the image cannot be read";
    return problem;
}

std::optional<Image> loadPng(const std::filesystem::path& file)
{
    std::wstring problem;
    CairoSurface surface = decodePng(file, problem);
    if (!surface)
        return std::nullopt;
    CairoSurface argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                                 cairo_image_surface_get_width(surface.get()),
                                                 cairo_image_surface_get_height(surface.get())));
    CairoContext cr(cairo_create(argb.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), surface.get(), 0, 0);
    cairo_paint(cr.get());
    cairo_surface_flush(argb.get());
    Image image;
    image.width = cairo_image_surface_get_width(argb.get());
    image.height = cairo_image_surface_get_height(argb.get());
    const int stride = cairo_image_surface_get_stride(argb.get());
    const unsigned char* data = cairo_image_surface_get_data(argb.get());
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        image.pixels.insert(image.pixels.end(), row, row + image.width);
    }
    return image;
}

Image snapshot(const Canvas& canvas)
{
    Image image;
    image.width = canvas.width();
    image.height = canvas.height();
    const auto* data = reinterpret_cast<const unsigned char*>(canvas.pixels());
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * canvas.stride());
        image.pixels.insert(image.pixels.end(), row, row + image.width);
    }
    return image;
}

bool writePng(const Image& image, const std::filesystem::path& file)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        return false;
    CairoSurface surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height));
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < image.height; ++y)
        std::memcpy(data + y * stride,
                    image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                    static_cast<std::size_t>(image.width) * 4);
    cairo_surface_mark_dirty(surface.get());
    return cairo_surface_write_to_png(surface.get(), file.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace ui

// fontconfig, Pango, GLib, and under SDL D-Bus and X11, keep process-wide state they
// never free; in sanitizer
// builds those would drown the leaks of our own code. Read by LeakSanitizer only; it
// lives here so that every program that paints links it.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libdbus-1.so\n"
           "leak:libSDL2-2.0.so\n"
           "leak:libX11.so\n";
}

extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

// Pango hands fontconfig's start-up to a thread of its own; the races ThreadSanitizer
// sees between that thread and the first text drawn are inside those libraries.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n"
           "race:libpangoft2-1.0.so\n"
           "race:libpango-1.0.so\n"
           "race:libglib-2.0.so\n"
           "called_from_lib:libfontconfig.so\n";
}
