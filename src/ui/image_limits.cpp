#include "ui/image_limits.h"

#include <cctype>

namespace ui {
namespace {

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

} // namespace

std::optional<PixelSize> pngSize(std::string_view bytes)
{
    // Signature, then the IHDR chunk: length, type, width, height.
    constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() < 24 || bytes.substr(0, 8) != kSignature || bytes.substr(12, 4) != "IHDR")
        return std::nullopt;
    return PixelSize{bigEndian32(bytes, 16), bigEndian32(bytes, 20)};
}

std::size_t svgElementCount(std::string_view bytes)
{
    std::size_t count = 0;
    for (std::size_t at = bytes.find('<'); at != std::string_view::npos;
         at = bytes.find('<', at + 1)) {
        if (at + 1 < bytes.size() &&
            (std::isalpha(static_cast<unsigned char>(bytes[at + 1])) || bytes[at + 1] == '_'))
            ++count;
    }
    return count;
}

std::wstring pixelSizeProblem(PixelSize size)
{
    const auto side = std::to_wstring(kMaxImageSide);
    const std::wstring announced =
        std::to_wstring(size.width) + L" × " + std::to_wstring(size.height) + L" pixels";
    if (size.width <= 0 || size.height <= 0)
        return L"the image has no pixels (" + announced + L")";
    if (size.width > kMaxImageSide || size.height > kMaxImageSide ||
        size.width * size.height > kMaxImagePixels)
        return L"the image is " + announced + L"; images of at most " + side +
               L" pixels a side and " + std::to_wstring(kMaxImagePixels) +
               L" pixels in all are shown";
    return {};
}

std::wstring imageBytesProblem(std::string_view bytes, bool svg)
{
    if (svg) {
        const std::size_t elements = svgElementCount(bytes);
        if (elements > kMaxSvgElements)
            return L"the drawing has " + std::to_wstring(elements) + L" elements; at most " +
                   std::to_wstring(kMaxSvgElements) + L" are shown";
        return {};
    }
    if (const auto size = pngSize(bytes))
        return pixelSizeProblem(*size);
    return {};
}

} // namespace ui
