// The SDL backend on a real X server. These run under Xvfb through the ctest entries
// ui_sdl_backend_24bit and ui_sdl_backend_16bit and skip where no display is set.
#include "test_window.h"

#include "platform/message_queue.h"
#include "support/scoped_environment.h"
#include "ui/edit_ui.h"
#include "ui/frame_canvas.h"
#include "ui/sdl/sdl_window.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>

using testing_support::OpenWindow;
using testing_support::ScopedEnvironment;

namespace {

const wchar_t* kSkin = LR"(<Window size="240,160" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FF1B1F24">
    <HorizontalLayout height="30" bkcolor="#FF0099FF">
      <Button name="maxbtn" width="30"/><Button name="restorebtn" width="30" visible="false"/>
    </HorizontalLayout>
    <Edit name="edit" height="30" bkcolor="#FFFFFFFF"/>
    <Control bkcolor="#FFE04020"/>
  </VerticalLayout>
</Window>)";

class SdlBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display (the ctest entries run these under Xvfb)";
        auto backend = ui::createSdlBackend();
        ASSERT_TRUE(backend) << backend.error().message;
        ui::setWindowBackend(std::move(*backend));
    }
    void TearDown() override { ui::setWindowBackend(ui::createOffscreenBackend()); }

    static SDL_Window* sdlWindow(OpenWindow& w)
    {
        auto* native = dynamic_cast<const ui::sdl::SdlWindow*>(w.window->GetNativeWindow());
        return native ? native->sdlWindow() : nullptr;
    }

    static void pushKey(SDL_Window* window, SDL_Keycode key, bool down)
    {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = SDL_GetWindowID(window);
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    // Ctrl held around one key, as the keyboard delivers it.
    static void pushControlChord(SDL_Window* window, SDL_Keycode key)
    {
        pushKey(window, SDLK_LCTRL, true);
        pushKey(window, key, true);
        pushKey(window, key, false);
        pushKey(window, SDLK_LCTRL, false);
    }

    static void pushWindowEvent(SDL_Window* window, SDL_WindowEventID id)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(window);
        event.window.event = static_cast<Uint8>(id);
        SDL_PushEvent(&event);
    }
};

// The window's pixels as the X server holds them, as 0xRRGGBB: what is on the screen,
// whatever the program keeps in its own memory.
std::optional<ui::Image> pixelsOnTheServer(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return std::nullopt;
    Display* display = info.info.x11.display;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, info.info.x11.window, &attributes))
        return std::nullopt;
    XImage* image = XGetImage(display, info.info.x11.window, 0, 0, attributes.width,
                              attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    // Each channel scaled to 8 bits from wherever its mask puts it (16-bit displays too).
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0)
            return 0u;
        int shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        const unsigned long max = mask >> shift;
        return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / max);
    };
    ui::Image result;
    result.width = attributes.width;
    result.height = attributes.height;
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.pixels.push_back(channel(pixel, image->red_mask) << 16 |
                                    channel(pixel, image->green_mask) << 8 |
                                    channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    return result;
}

// Pixels of the canvas (premultiplied, opaque) against the server's, each channel within the
// display's precision; the number of pixels that differ.
int differentPixels(const ui::Image& canvas, const ui::Image& shown, const RECT& area)
{
    int different = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t a = canvas.pixels[std::size_t(y) * canvas.width + x];
            const std::uint32_t b = shown.pixels[std::size_t(y) * shown.width + x];
            for (int shift : {0, 8, 16}) {
                if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 8) {
                    ++different;
                    break;
                }
            }
        }
    }
    return different;
}

// What a window manager sends when the user closes a window (wmctrl -c, the title bar's
// close, its Alt+F4): the window's WM_DELETE_WINDOW protocol message.
bool askToCloseAsAWindowManagerDoes(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return false;
    Display* display = info.info.x11.display;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = info.info.x11.window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, info.info.x11.window, False, NoEventMask, &event) != 0;
    XFlush(display);
    return sent;
}

bool keepsFullPixels(SDL_Window* window)
{
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    return surface && surface->format->BytesPerPixel == 4;
}

} // namespace

TEST_F(SdlBackend, ControlKeysEditTextThroughTheKeyMap)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    SDL_Window* window = sdlWindow(w);
    ASSERT_NE(window, nullptr);
    auto* edit = w.ui().findAs<CEditUI>(L"edit");
    ASSERT_TRUE(w.ui().type(L"edit", L"copy me"));

    pushControlChord(window, SDLK_a);
    pushControlChord(window, SDLK_c);
    pushKey(window, SDLK_END, true);
    pushKey(window, SDLK_END, false);
    pushControlChord(window, SDLK_v);
    ASSERT_TRUE(w.ui().waitFor([&] { return edit->GetText() == L"copy mecopy me"; },
                               std::chrono::seconds(5)))
        << platform::toUtf8(edit->GetText());

    pushControlChord(window, SDLK_a);
    pushControlChord(window, SDLK_x);
    ASSERT_TRUE(w.ui().waitFor([&] { return edit->GetText().empty(); }, std::chrono::seconds(5)))
        << platform::toUtf8(edit->GetText());
    EXPECT_EQ(ui::windowBackend().clipboardText(), L"copy mecopy me");
}

TEST_F(SdlBackend, FramesArriveInTheSurfacesOwnFormat)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    w.window->PostMessage(WM_PAINT);
    ASSERT_TRUE(w.ui().waitFor([&] { return w.window->GetFramesShown() > 0; }));
    const auto frame = w.window->GetNativeWindow()->shownFrame();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->width, 240);
    ASSERT_EQ(frame->height, 160);
    // Whatever the display's depth, each colour comes back within its precision.
    auto near = [](std::uint32_t pixel, std::uint32_t rgb) {
        for (int shift : {0, 8, 16}) {
            const int got = static_cast<int>((pixel >> shift) & 0xFF);
            const int want = static_cast<int>((rgb >> shift) & 0xFF);
            if (std::abs(got - want) > 8)
                return false;
        }
        return true;
    };
    auto at = [&](int x, int y) { return frame->pixels[static_cast<std::size_t>(y) * 240 + x]; };
    EXPECT_TRUE(near(at(200, 10), 0x0099FF)) << std::hex << at(200, 10);
    EXPECT_TRUE(near(at(120, 45), 0xFFFFFF)) << std::hex << at(120, 45);
    EXPECT_TRUE(near(at(120, 150), 0xE04020)) << std::hex << at(120, 150);
    EXPECT_TRUE(near(at(239, 159), 0xE04020)) << "the last pixel of the last row";
}

TEST_F(SdlBackend, TheScreenShowsTheCanvasAfterResizesAndScaleChangesToo)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    SDL_Window* window = sdlWindow(w);
    // Where the surface keeps 32-bit pixels the canvas paints straight into it.
    const bool inPlace = keepsFullPixels(window);
    auto shownAsPainted = [&](int width, int height) {
        const int before = w.window->GetFramesShown();
        w.window->PostMessage(WM_PAINT);
        ASSERT_TRUE(w.ui().waitFor([&] {
            const ui::Canvas* canvas = w.pm().GetCanvas();
            return w.window->GetFramesShown() > before && canvas && canvas->width() == width &&
                   canvas->height() == height;
        }));
        const auto* canvas = dynamic_cast<const ui::FrameCanvas*>(w.pm().GetCanvas());
        ASSERT_NE(canvas, nullptr);
        EXPECT_EQ(canvas->isLent(), inPlace);
        const auto shown = pixelsOnTheServer(window);
        ASSERT_TRUE(shown);
        ASSERT_EQ(shown->width, width);
        ASSERT_EQ(shown->height, height);
        EXPECT_EQ(differentPixels(ui::snapshot(*canvas), *shown, RECT{0, 0, width, height}), 0);
    };
    shownAsPainted(240, 160);
    // A resize gives the window a new surface and the paint manager a new canvas.
    w.window->ResizeClient(300, 220);
    shownAsPainted(300, 220);
    w.pm().SetDPI(192);
    shownAsPainted(600, 440);
}

TEST_F(SdlBackend, ADamagedRectangleIsShownAndTheRestOfTheWindowKeepsTheLastFrame)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    w.window->PostMessage(WM_PAINT);
    ASSERT_TRUE(w.ui().waitFor([&] { return w.window->GetFramesShown() > 0; }));
    SDL_Window* window = sdlWindow(w);
    const auto before = pixelsOnTheServer(window);
    ASSERT_TRUE(before);
    ui::Canvas& canvas = *w.pm().GetCanvas();
    // Both painted, only the second presented.
    const RECT unshown{10, 40, 60, 80};
    const RECT damaged{150, 100, 200, 140};
    canvas.fillRect(unshown, 0xFF00C000);
    canvas.fillRect(damaged, 0xFF0000C0);
    ui::presentWindow(w.window->GetHWND(), canvas, std::span<const RECT>(&damaged, 1));
    const auto after = pixelsOnTheServer(window);
    ASSERT_TRUE(after);
    const ui::Image painted = ui::snapshot(canvas);
    EXPECT_EQ(differentPixels(painted, *after, damaged), 0);
    EXPECT_EQ(differentPixels(*before, *after, unshown), 0) << "painted but not presented";
    EXPECT_EQ(differentPixels(*before, *after, RECT{0, 0, 240, 100}), 0);
    EXPECT_EQ(differentPixels(*before, *after, RECT{0, 140, 240, 160}), 0);
}

TEST_F(SdlBackend, ACanvasPaintingIntoAWindowKeepsItsPictureWhenTheWindowEnds)
{
    auto native =
        ui::windowBackend().createWindow(nullptr, L"frame", RECT{20, 20, 180, 120}, nullptr);
    native->setState(ui::ShowState::Normal);
    auto canvas = ui::createImageCanvas(160, 100);
    canvas->clear(0xFFFFFFFF);
    canvas->fillRect(RECT{0, 0, 80, 100}, 0xFFC00000);
    const RECT all{0, 0, 160, 100};
    native->present(*canvas, std::span<const RECT>(&all, 1));
    const auto* frame = dynamic_cast<const ui::FrameCanvas*>(canvas.get());
    ASSERT_NE(frame, nullptr);
    const bool inPlace = frame->isLent();

    // The window's surface memory goes with it; the canvas carries on in its own.
    native.reset();
    EXPECT_FALSE(frame->isLent());
    canvas->fillRect(RECT{80, 0, 160, 50}, 0xFF0000C0);
    const ui::Image picture = ui::snapshot(*canvas);
    EXPECT_EQ(picture.pixels[10 * 160 + 10], 0xFFC00000u)
        << "painted before, in place: " << inPlace;
    EXPECT_EQ(picture.pixels[10 * 160 + 100], 0xFF0000C0u);
    EXPECT_EQ(picture.pixels[80 * 160 + 100], 0xFFFFFFFFu);
}

TEST_F(SdlBackend, CentredWindowIsWhereTheWindowLayerSaysAndFollowsMoves)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    std::vector<POINT> moves;
    w.window->onMessage = [&](UINT msg, WPARAM, LPARAM lParam) {
        if (msg == WM_MOVE)
            moves.push_back(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return false;
    };
    w.window->CenterWindow();
    const RECT area = ui::windowBackend().workArea();
    const RECT stored = w.window->GetWindowRect();
    EXPECT_EQ(stored.left, (area.left + area.right - 240) / 2);
    EXPECT_EQ(stored.top, (area.top + area.bottom - 160) / 2);
    SDL_Window* window = sdlWindow(w);
    w.ui().waitFor(
        [&] {
            int x = 0;
            int y = 0;
            SDL_GetWindowPosition(window, &x, &y);
            return x == stored.left && y == stored.top;
        },
        std::chrono::seconds(2));
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    EXPECT_EQ(x, stored.left);
    EXPECT_EQ(y, stored.top);

    // Moved behind the window layer's back, as a window manager does.
    moves.clear();
    SDL_SetWindowPosition(window, 33, 44);
    ASSERT_TRUE(w.ui().waitFor([&] { return w.window->GetWindowRect().left == 33; },
                               std::chrono::seconds(5)));
    EXPECT_EQ(w.window->GetWindowRect().top, 44);
    EXPECT_EQ(w.window->GetWindowRect().right, 33 + 240) << "the size stays";
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().x, 33);
}

TEST_F(SdlBackend, MinimiseMaximiseAndRestoreByTheWindowManagerAreTracked)
{
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    std::vector<WPARAM> sizes;
    w.window->onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
        if (msg == WM_SIZE)
            sizes.push_back(wParam);
        return false;
    };
    SDL_Window* window = sdlWindow(w);
    pushWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(w.ui().waitFor([&] { return w.window->IsIconic(); }, std::chrono::seconds(5)));
    EXPECT_EQ(sizes.back(), SIZE_MINIMIZED);

    pushWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(w.ui().waitFor([&] { return !w.window->IsIconic(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(w.window->IsWindowVisible());
    EXPECT_EQ(sizes.back(), SIZE_RESTORED);

    pushWindowEvent(window, SDL_WINDOWEVENT_MAXIMIZED);
    ASSERT_TRUE(w.ui().waitFor([&] { return w.window->IsZoomed(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(w.ui().find(L"restorebtn")->IsVisible()) << "the caption buttons follow";
    EXPECT_FALSE(w.ui().find(L"maxbtn")->IsVisible());

    pushWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(w.ui().waitFor([&] { return !w.window->IsZoomed(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(w.ui().find(L"maxbtn")->IsVisible());
}

TEST_F(SdlBackend, DpiFollowsTheDesktopScale)
{
    {
        OpenWindow plain(kSkin, 240, 160);
        ASSERT_TRUE(plain.opened);
        EXPECT_EQ(plain.window->GetDpi(), 96) << "Xvfb sets no scale";
    }
    ScopedEnvironment scale("GDK_SCALE", std::string("2"));
    OpenWindow scaled(kSkin, 240, 160);
    ASSERT_TRUE(scaled.opened);
    EXPECT_EQ(scaled.window->GetDpi(), 192);
    EXPECT_EQ(ui::windowBackend().screenDpi(), 192);
}

TEST_F(SdlBackend, ATerminateSignalClosesTheWindowsWhileATimerKeepsTheLoopBusy)
{
    // SDL turns SIGTERM into its quit event only when asked for events; a loop woken every
    // few milliseconds by a timer (a streamed picture) must still ask now and then.
    OpenWindow w(kSkin, 240, 160);
    ASSERT_TRUE(w.opened);
    int ticks = 0;
    w.window->onMessage = [&](UINT msg, WPARAM, LPARAM) {
        if (msg == WM_TIMER)
            ++ticks;
        return false;
    };
    const HWND hwnd = w.window->GetHWND();
    ASSERT_TRUE(platform::setTimer(hwnd, 77, std::chrono::milliseconds(5)));
    ASSERT_TRUE(w.ui().waitFor([&] { return ticks > 3; }, std::chrono::seconds(5)));
    std::raise(SIGTERM);
    // The quit closes every window as its close button would.
    EXPECT_TRUE(
        w.ui().waitFor([&] { return !platform::isWindow(hwnd); }, std::chrono::seconds(10)));
}

TEST_F(SdlBackend, TheWindowManagersCloseAndAltF4PressTheCloseButtonOfThatWindowOnly)
{
    // SDL follows the only window's close with its quit event, which closed every window past
    // the close button: past the question about unsaved changes and past the tray's hide.
    const wchar_t* skin = LR"(<Window size="240,160"><VerticalLayout bkcolor="#FF1B1F24">
      <Button name="closebtn" height="30" bkcolor="#FF0099FF"/></VerticalLayout></Window>)";
    enum class Close { ByTheManager, ByAltF4 };
    const struct {
        const char* what;
        Close close;
        bool beside; // another window is open
    } cases[] = {{"the manager, the only window", Close::ByTheManager, false},
                 {"the manager, beside another window", Close::ByTheManager, true},
                 {"Alt+F4 no manager took, the only window", Close::ByAltF4, false}};
    auto& queue = platform::MessageQueue::current();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenWindow w(skin, 240, 160);
        ASSERT_TRUE(w.opened);
        std::unique_ptr<OpenWindow> other;
        if (c.beside) {
            other = std::make_unique<OpenWindow>(skin, 240, 160);
            ASSERT_TRUE(other->opened);
        }
        int closeClicks = 0;
        w.window->onNotify = [&](TNotifyUI& msg) {
            if (msg.sType == L"click" && msg.pSender->GetName() == L"closebtn") {
                ++closeClicks;
                msg.pSender = nullptr; // the button only asks: the window stays
            }
        };
        SDL_Window* window = sdlWindow(w);
        if (c.close == Close::ByTheManager) {
            ASSERT_TRUE(askToCloseAsAWindowManagerDoes(window));
        } else {
            SDL_Event event{};
            event.type = SDL_KEYDOWN;
            event.key.windowID = SDL_GetWindowID(window);
            event.key.state = SDL_PRESSED;
            event.key.keysym.sym = SDLK_F4;
            event.key.keysym.mod = KMOD_LALT;
            SDL_PushEvent(&event);
        }
        ASSERT_TRUE(w.ui().waitFor([&] { return closeClicks > 0; }, std::chrono::seconds(5)));
        // Whatever SDL queued behind the close is handled before a message posted now.
        bool marker = false;
        const HWND probe = queue.createWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            marker = true;
            return 0;
        });
        platform::postMessage(probe, WM_NULL, 0, 0);
        EXPECT_TRUE(w.ui().waitFor([&] { return marker; }, std::chrono::seconds(5)));
        queue.destroyWindow(probe);
        EXPECT_EQ(closeClicks, 1);
        EXPECT_TRUE(platform::isWindow(w.window->GetHWND()));
        if (other) {
            EXPECT_TRUE(platform::isWindow(other->window->GetHWND()));
        }
    }
}
