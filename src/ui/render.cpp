#include "ui/render.h"

#include "ui/paint_manager_ui.h"

#include <cwctype>

namespace ui {
namespace {

std::optional<RECT> parseRect(std::wstring_view text)
{
    RECT rc{};
    int* fields[] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    std::size_t at = 0;
    for (int* field : fields) {
        while (at < text.size() && (text[at] == L' ' || text[at] == L','))
            ++at;
        bool negative = false;
        if (at < text.size() && text[at] == L'-') {
            negative = true;
            ++at;
        }
        if (at >= text.size() || !std::iswdigit(text[at]))
            return std::nullopt;
        long value = 0;
        while (at < text.size() && std::iswdigit(text[at])) {
            value = value * 10 + (text[at] - L'0');
            if (value > 100000)
                return std::nullopt;
            ++at;
        }
        *field = static_cast<int>(negative ? -value : value);
    }
    return rc;
}

} // namespace

std::optional<ImageSource> parseImageString(std::wstring_view text)
{
    while (!text.empty() && std::iswspace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    ImageSource parsed;
    if (text.find(L'=') == std::wstring_view::npos || text.find(L'\'') == std::wstring_view::npos) {
        parsed.file = text;
        return parsed;
    }
    // Keyed form: key='value' pairs separated by blanks.
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && std::iswspace(text[at]))
            ++at;
        const auto equals = text.find(L'=', at);
        if (equals == std::wstring_view::npos)
            break;
        const auto key = text.substr(at, equals - at);
        const auto open = text.find(L'\'', equals);
        if (open == std::wstring_view::npos)
            return std::nullopt;
        const auto close = text.find(L'\'', open + 1);
        if (close == std::wstring_view::npos)
            return std::nullopt;
        const auto value = text.substr(open + 1, close - open - 1);
        if (key == L"file" || key == L"res")
            parsed.file = value;
        else if (key == L"dest")
            parsed.dest = parseRect(value);
        else if (key == L"source")
            parsed.source = parseRect(value);
        else if (key == L"corner")
            parsed.corner = parseRect(value).value_or(RECT{});
        at = close + 1;
    }
    if (parsed.file.empty())
        return std::nullopt;
    return parsed;
}

std::filesystem::path resolveResourceFile(std::wstring_view file)
{
    std::wstring normalized(file);
    for (auto& c : normalized) {
        if (c == L'\\')
            c = L'/';
    }
    std::filesystem::path path(normalized);
    if (path.is_absolute())
        return path;
    std::wstring base = CPaintManagerUI::GetResourcePath();
    for (auto& c : base) {
        if (c == L'\\')
            c = L'/';
    }
    return std::filesystem::path(base) / path;
}

bool Canvas::putPixels(const Image&, POINT)
{
    return false;
}

bool Canvas::putLitPicture(const LitPicture&, DWORD, POINT)
{
    return false;
}

} // namespace ui

bool CRenderEngine::DrawImageString(ui::Canvas& canvas, const RECT& rc, std::wstring_view image,
                                    double scale)
{
    const auto parsed = ui::parseImageString(image);
    return parsed && canvas.drawImage(rc, *parsed, scale);
}

bool CRenderEngine::DrawImageTinted(ui::Canvas& canvas, const RECT& rc, std::wstring_view image,
                                    DWORD rgb, int alpha)
{
    const auto parsed = ui::parseImageString(image);
    return parsed && canvas.drawImageTinted(rc, *parsed, rgb, alpha);
}

void CRenderEngine::DrawColor(ui::Canvas& canvas, const RECT& rc, DWORD argb)
{
    if ((argb >> 24) != 0)
        canvas.fillRect(rc, argb);
}

void CRenderEngine::DrawRect(ui::Canvas& canvas, const RECT& rc, int size, DWORD argb)
{
    if ((argb >> 24) != 0 && size > 0)
        canvas.strokeRect(rc, size, argb);
}
