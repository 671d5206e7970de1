#pragma once

#include "ui/frame_canvas.h"
#include "ui/window_backend.h"

#include <SDL.h>

#include <string_view>
#include <vector>

namespace ui::sdl {

// One borderless SDL window for one CWindowWnd. Where the window surface keeps 32-bit
// pixels, the canvas paints straight into the surface's memory and a present only tells
// the display which rectangles changed; otherwise (16-bit displays) frames are converted
// from the canvas into the surface's own pixel format.
class SdlWindow final : public NativeWindow {
public:
    // An owned window is marked as the owner's dialog (transient for it), so the window
    // manager keeps it above the owner and out of the task bar.
    SdlWindow(HWND hwnd, std::wstring_view title, const RECT& rc, const SdlWindow* owner);
    ~SdlWindow() override;

    // The window of an SDL window id, or null.
    static SdlWindow* fromId(Uint32 id);
    static std::vector<HWND> allHandles();
    // Any open window (they share one display), or null.
    static SDL_Window* anyWindow();

    RECT bounds() const override { return m_bounds; }
    void setBounds(const RECT& rc) override;
    void setState(ShowState state) override;
    ShowState state() const override { return m_state; }
    void setTitle(std::wstring_view title) override;
    void present(const Canvas& canvas, std::span<const RECT> damage) override;
    void raise() override;
    void setTopMost(bool topMost) override;
    void setIcon(const Image& icon) override;
    int dpi() const override;
    std::optional<Image> shownFrame() const override;
    const NativeWindow* owner() const override { return m_owner; }

    HWND handle() const { return m_hwnd; }
    SDL_Window* sdlWindow() const { return m_window; }
    std::string desktopHandle() const override;
    void markAsMenu() override;
    // A window event of the window manager: bounds and state follow it and the window
    // hears WM_MOVE / WM_SIZE / WM_DPICHANGED.
    void handleWindowEvent(const SDL_WindowEvent& event);

private:
    bool presentInPlace(std::span<const RECT> damage);
    // The surface to copy into, after moving a canvas painting into the old one out of it.
    SDL_Surface* surfaceToCopyInto();
    void lendSurface(const FrameCanvas& canvas, SDL_Surface* surface);
    void takeSurfaceBack();
    void afterFrameShown() const;
    void takeRequestedScreenshot() const;
    static SDL_HitTestResult hitTest(SDL_Window* window, const SDL_Point* area, void* data);

    HWND m_hwnd;
    const SdlWindow* m_owner;
    SDL_Window* m_window = nullptr;
    RECT m_bounds{};
    ShowState m_state = ShowState::Hidden;
    ShowState m_stateBeforeMinimize = ShowState::Normal;
    // Our own maximise only changes geometry; the manager's can be undone by the manager.
    bool m_maximizedByManager = false;
    int m_dpi = 96;
    // The surface the last frame went to: a different one needs the whole frame.
    const SDL_Surface* m_shownSurface = nullptr;
    SIZE m_shownSize{};
    // The canvas painting into the surface's memory, which SDL frees when it makes the next
    // surface (after a resize) and when the window ends; null when none does.
    const FrameCanvas* m_lentTo = nullptr;
    SDL_Surface* m_lentSurface = nullptr;
};

// The desktop's DPI for the window, 96 when the desktop does not say.
int windowDpi(SDL_Window* window);

} // namespace ui::sdl
