#include "ui/sdl/sdl_window.h"

#include "platform/debug_output.h"
#include "platform/message_queue.h"
#include "platform/text.h"
#include "ui/render_memory.h"
#include "ui/sdl/x11_display.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace ui::sdl {
namespace {

// Windows live on the UI thread; the map is only touched there.
std::map<Uint32, SdlWindow*>& windowsById()
{
    static std::map<Uint32, SdlWindow*> map;
    return map;
}

LPARAM packSize(const RECT& rc)
{
    return MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top);
}

// The parts of the rectangles inside the surface's width x height.
std::vector<SDL_Rect> clippedRects(std::span<const RECT> rects, int width, int height)
{
    const RECT all{0, 0, width, height};
    std::vector<SDL_Rect> clipped;
    for (const RECT& rc : rects) {
        RECT part;
        if (IntersectRect(part, rc, all))
            clipped.push_back(
                SDL_Rect{part.left, part.top, part.right - part.left, part.bottom - part.top});
    }
    return clipped;
}

} // namespace

int windowDpi(SDL_Window* window)
{
    const int dpi = desktopDpi(window);
    return dpi > 0 ? dpi : 96;
}

SdlWindow::SdlWindow(HWND hwnd, std::wstring_view title, const RECT& rc, const SdlWindow* owner)
    : m_hwnd(hwnd), m_owner(owner)
{
    const std::string utf8 = platform::toUtf8(title);
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI;
    if (owner)
        flags |= SDL_WINDOW_SKIP_TASKBAR;
    m_window = SDL_CreateWindow(utf8.c_str(), rc.left, rc.top, std::max(1, rc.right - rc.left),
                                std::max(1, rc.bottom - rc.top), flags);
    if (!m_window) {
        platform::debugOutput(std::string("window not created: ") + SDL_GetError());
        return;
    }
    windowsById()[SDL_GetWindowID(m_window)] = this;
    // Without the owner hint a window manager stacks a modal dialog anywhere, often
    // under the window that waits for it, and the program looks frozen.
    if (owner && owner->m_window) {
        markAsDialog(m_window);
        if (SDL_SetWindowModalFor(m_window, owner->m_window) != 0)
            platform::debugOutput(std::string("window owner not set: ") + SDL_GetError());
    }
    m_bounds = rc;
    m_dpi = windowDpi(m_window);
    // Borderless windows are moved by their caption, which the window's skin defines.
    if (SDL_SetWindowHitTest(m_window, &SdlWindow::hitTest, this) != 0)
        platform::debugOutput(std::string("caption dragging unavailable: ") + SDL_GetError());
}

SdlWindow::~SdlWindow()
{
    takeSurfaceBack();
    if (m_window) {
        windowsById().erase(SDL_GetWindowID(m_window));
        SDL_DestroyWindow(m_window);
    }
}

SdlWindow* SdlWindow::fromId(Uint32 id)
{
    const auto found = windowsById().find(id);
    return found == windowsById().end() ? nullptr : found->second;
}

std::vector<HWND> SdlWindow::allHandles()
{
    std::vector<HWND> handles;
    for (const auto& [id, window] : windowsById())
        handles.push_back(window->m_hwnd);
    return handles;
}

SDL_Window* SdlWindow::anyWindow()
{
    return windowsById().empty() ? nullptr : windowsById().begin()->second->m_window;
}

SDL_HitTestResult SdlWindow::hitTest(SDL_Window*, const SDL_Point* area, void* data)
{
    // Called on the UI thread while SDL reads events: the window answers directly.
    const auto* self = static_cast<SdlWindow*>(data);
    const LRESULT hit =
        platform::sendMessage(self->m_hwnd, WM_NCHITTEST, 0, MAKELPARAM(area->x, area->y));
    return hit == HTCAPTION ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

void SdlWindow::setBounds(const RECT& rc)
{
    m_bounds = rc;
    if (!m_window)
        return;
    SDL_SetWindowPosition(m_window, rc.left, rc.top);
    SDL_SetWindowSize(m_window, std::max(1, rc.right - rc.left), std::max(1, rc.bottom - rc.top));
}

void SdlWindow::setState(ShowState state)
{
    m_state = state;
    if (!m_window)
        return;
    switch (state) {
    case ShowState::Hidden:
        SDL_HideWindow(m_window);
        break;
    case ShowState::Minimized:
        SDL_MinimizeWindow(m_window);
        break;
    case ShowState::Normal:
    case ShowState::Maximized:
        // Maximised by geometry (the window layer moves it onto the work area): a
        // borderless window has no frame for the window manager to maximise.
        SDL_ShowWindow(m_window);
        if ((SDL_GetWindowFlags(m_window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)) != 0)
            SDL_RestoreWindow(m_window);
        break;
    }
}

void SdlWindow::setTitle(std::wstring_view title)
{
    if (m_window)
        SDL_SetWindowTitle(m_window, platform::toUtf8(title).c_str());
}

void SdlWindow::present(const Canvas& canvas, std::span<const RECT> damage)
{
    if (!m_window)
        return;
    const auto* frame = dynamic_cast<const FrameCanvas*>(&canvas);
    if (frame && frame == m_lentTo) {
        if (presentInPlace(damage)) {
            afterFrameShown();
            return;
        }
        // The surface went stale (a resize): the next one holds nothing of this frame.
        m_shownSurface = nullptr;
    }
    SDL_Surface* surface = surfaceToCopyInto();
    if (!surface)
        return;
    const int width = std::min(surface->w, canvas.width());
    const int height = std::min(surface->h, canvas.height());
    if (width <= 0 || height <= 0)
        return;
    // A new surface (after a resize) holds nothing of the last frame, nor does one the
    // canvas has just moved into.
    bool fresh =
        surface != m_shownSurface || surface->w != m_shownSize.cx || surface->h != m_shownSize.cy;
    if (frame)
        lendSurface(*frame, surface);
    const bool inPlace = frame && m_lentTo == frame;
    fresh = fresh || inPlace;
    const RECT all{0, 0, width, height};
    const auto rects = clippedRects(fresh ? std::span<const RECT>(&all, 1) : damage, width, height);
    if (rects.empty())
        return;
    if (!inPlace) {
        // The canvas is opaque 32-bit ARGB; the surface may be anything the display uses.
        if (SDL_LockSurface(surface) != 0)
            return;
        const auto* source = reinterpret_cast<const std::uint8_t*>(canvas.pixels());
        auto* target = static_cast<std::uint8_t*>(surface->pixels);
        const int bytesPerPixel = surface->format->BytesPerPixel;
        int converted = 0;
        for (const SDL_Rect& rect : rects)
            converted |= SDL_ConvertPixels(rect.w, rect.h, SDL_PIXELFORMAT_ARGB8888,
                                           source + std::ptrdiff_t(rect.y) * canvas.stride() +
                                               std::ptrdiff_t(rect.x) * 4,
                                           canvas.stride(), surface->format->format,
                                           target + std::ptrdiff_t(rect.y) * surface->pitch +
                                               std::ptrdiff_t(rect.x) * bytesPerPixel,
                                           surface->pitch);
        SDL_UnlockSurface(surface);
        if (converted != 0) {
            platform::debugOutput(std::string("frame not converted: ") + SDL_GetError());
            return;
        }
    }
    m_shownSurface = surface;
    m_shownSize = SIZE{surface->w, surface->h};
    SDL_UpdateWindowSurfaceRects(m_window, rects.data(), int(rects.size()));
    afterFrameShown();
}

void SdlWindow::afterFrameShown() const
{
    takeRequestedScreenshot();
    releaseRenderMemory();
}

bool SdlWindow::presentInPlace(std::span<const RECT> damage)
{
    const auto rects = clippedRects(damage, m_lentSurface->w, m_lentSurface->h);
    // SDL refuses the update once a resize made the surface stale; its memory stays until
    // the next SDL_GetWindowSurface.
    return rects.empty() ||
           SDL_UpdateWindowSurfaceRects(m_window, rects.data(), int(rects.size())) == 0;
}

SDL_Surface* SdlWindow::surfaceToCopyInto()
{
    // SDL frees the old surface's memory when it makes a new one, and does not say
    // beforehand whether it will.
    takeSurfaceBack();
    return SDL_GetWindowSurface(m_window);
}

void SdlWindow::lendSurface(const FrameCanvas& canvas, SDL_Surface* surface)
{
    // The usual X surface keeps the canvas's own byte order, the top byte unused.
    const bool sameLayout = surface->format->format == SDL_PIXELFORMAT_RGB888 ||
                            surface->format->format == SDL_PIXELFORMAT_ARGB8888;
    if (!sameLayout || SDL_MUSTLOCK(surface) || surface->w != canvas.width() ||
        surface->h != canvas.height())
        return;
    if (!canvas.lend(static_cast<std::uint32_t*>(surface->pixels), surface->pitch, [this] {
            m_lentTo = nullptr;
            m_lentSurface = nullptr;
        }))
        return;
    m_lentTo = &canvas;
    m_lentSurface = surface;
}

void SdlWindow::takeSurfaceBack()
{
    if (!m_lentTo)
        return;
    m_lentTo->takeBack();
    m_lentTo = nullptr;
    m_lentSurface = nullptr;
}

void SdlWindow::takeRequestedScreenshot() const
{
    // HALVEK_SCREENSHOT=<file>: the first frame shown is read back from the window and
    // written there, for checks of a running program.
    static bool taken = false;
    const char* file = std::getenv("HALVEK_SCREENSHOT");
    if (taken || !file || !*file)
        return;
    taken = true;
    const auto frame = shownFrame();
    if (!frame || !writePng(*frame, file))
        platform::debugOutput("screenshot not written");
}

std::optional<Image> SdlWindow::shownFrame() const
{
    if (!m_window)
        return std::nullopt;
    // Asking SDL for the surface could free the memory a canvas paints into.
    SDL_Surface* surface = m_lentTo ? m_lentSurface : SDL_GetWindowSurface(m_window);
    if (!surface || surface->w <= 0 || surface->h <= 0)
        return std::nullopt;
    Image image;
    image.width = surface->w;
    image.height = surface->h;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    if (SDL_LockSurface(surface) != 0)
        return std::nullopt;
    const int converted = SDL_ConvertPixels(
        surface->w, surface->h, surface->format->format, surface->pixels, surface->pitch,
        SDL_PIXELFORMAT_ARGB8888, image.pixels.data(), image.width * 4);
    SDL_UnlockSurface(surface);
    if (converted != 0)
        return std::nullopt;
    for (auto& pixel : image.pixels)
        pixel |= 0xFF000000u;
    return image;
}

void SdlWindow::raise()
{
    if (m_window)
        SDL_RaiseWindow(m_window);
}

void SdlWindow::setTopMost(bool topMost)
{
    if (m_window)
        SDL_SetWindowAlwaysOnTop(m_window, topMost ? SDL_TRUE : SDL_FALSE);
}

void SdlWindow::setIcon(const Image& icon)
{
    if (!m_window || icon.width <= 0 || icon.height <= 0 ||
        icon.pixels.size() != static_cast<std::size_t>(icon.width) * icon.height)
        return;
    // The canvas gives premultiplied pixels; window icons take straight alpha.
    std::vector<std::uint32_t> straight(icon.pixels);
    for (auto& pixel : straight) {
        const std::uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 255)
            continue;
        auto channel = [&](int shift) {
            return std::min<std::uint32_t>(255, ((pixel >> shift) & 0xFF) * 255 / alpha) << shift;
        };
        pixel = (alpha << 24) | channel(16) | channel(8) | channel(0);
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        straight.data(), icon.width, icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface)
        return;
    SDL_SetWindowIcon(m_window, surface);
    SDL_FreeSurface(surface);
}

int SdlWindow::dpi() const
{
    return m_dpi;
}

void SdlWindow::handleWindowEvent(const SDL_WindowEvent& event)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_MOVED: {
        const int width = m_bounds.right - m_bounds.left;
        const int height = m_bounds.bottom - m_bounds.top;
        if (event.data1 == m_bounds.left && event.data2 == m_bounds.top)
            return;
        m_bounds = RECT{event.data1, event.data2, event.data1 + width, event.data2 + height};
        platform::sendMessage(m_hwnd, WM_MOVE, 0, MAKELPARAM(event.data1, event.data2));
        return;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (event.data1 == m_bounds.right - m_bounds.left &&
            event.data2 == m_bounds.bottom - m_bounds.top)
            return;
        m_bounds.right = m_bounds.left + event.data1;
        m_bounds.bottom = m_bounds.top + event.data2;
        platform::sendMessage(m_hwnd, WM_SIZE,
                              m_state == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                              packSize(m_bounds));
        platform::postMessage(m_hwnd, WM_PAINT, 0, 0);
        return;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (m_state == ShowState::Minimized || m_state == ShowState::Hidden)
            return;
        m_stateBeforeMinimize = m_state;
        m_state = ShowState::Minimized;
        platform::sendMessage(m_hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        return;
    case SDL_WINDOWEVENT_MAXIMIZED:
        m_maximizedByManager = true;
        if (m_state == ShowState::Maximized)
            return;
        m_state = ShowState::Maximized;
        platform::sendMessage(m_hwnd, WM_SIZE, SIZE_MAXIMIZED, packSize(m_bounds));
        return;
    case SDL_WINDOWEVENT_RESTORED: {
        ShowState next = m_state;
        if (m_state == ShowState::Minimized)
            next = m_stateBeforeMinimize;
        else if (m_state == ShowState::Maximized && m_maximizedByManager)
            next = ShowState::Normal;
        m_maximizedByManager = false;
        if (next == m_state)
            return;
        m_state = next;
        platform::sendMessage(m_hwnd, WM_SIZE,
                              next == ShowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                              packSize(m_bounds));
        platform::postMessage(m_hwnd, WM_PAINT, 0, 0);
        return;
    }
    case SDL_WINDOWEVENT_DISPLAY_CHANGED: {
        const int dpi = windowDpi(m_window);
        if (dpi == m_dpi)
            return;
        m_dpi = dpi;
        platform::sendMessage(m_hwnd, WM_DPICHANGED, MAKELPARAM(dpi, dpi), 0);
        return;
    }
    default:
        return;
    }
}

void SdlWindow::markAsMenu()
{
    markAsPopupMenu(m_window);
}

std::string SdlWindow::desktopHandle() const
{
    return ui::sdl::desktopHandle(m_window);
}

} // namespace ui::sdl
