#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Bounds an image must keep before it is decoded: a small file can announce a picture that
// takes gigabytes and many seconds to unpack.
namespace ui {

inline constexpr std::int64_t kMaxImageSide = 8192;
inline constexpr std::int64_t kMaxImagePixels = 4096 * 4096; // 64 MiB once decoded
inline constexpr std::size_t kMaxSvgElements = 20000;
inline constexpr std::size_t kMaxImageFileSize = 32 * 1024 * 1024;

struct PixelSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// The size a PNG's header announces; nullopt when the bytes do not start like a PNG.
std::optional<PixelSize> pngSize(std::string_view bytes);

// Elements an SVG text opens ("<name", not comments, declarations or closing tags).
std::size_t svgElementCount(std::string_view bytes);

// Why a picture of this size is not taken, naming the limit; empty when it fits.
std::wstring pixelSizeProblem(PixelSize size);

// Why these file bytes are not decoded: a PNG that announces too many pixels, or an SVG
// with too many elements. Empty when they may be decoded (which may still fail).
std::wstring imageBytesProblem(std::string_view bytes, bool svg);

} // namespace ui
