#pragma once

#include <SDL.h>

#include <functional>
#include <string>

namespace ui::sdl {

// Calls onLost (on the thread that noticed, once) when the connection to the X server
// breaks, and keeps Xlib from ending the process on its own: the program then quits
// through its normal teardown. No-op for displays other than X11.
void watchDisplayConnection(SDL_Window* window, std::function<void()> onLost);

// Marks a window not shown yet as a dialog (_NET_WM_WINDOW_TYPE_DIALOG), which window
// managers place and stack as one. No-op for displays other than X11.
void markAsDialog(SDL_Window* window);
// The same for a pop-up menu (_NET_WM_WINDOW_TYPE_POPUP_MENU).
void markAsPopupMenu(SDL_Window* window);

// The pointer's position on the screen, asked of the X server; false for other displays.
bool pointerPosition(SDL_Window* window, int& x, int& y);

// The window as desktop services name it ("x11:1a00004"); empty for other displays.
std::string desktopHandle(SDL_Window* window);

// The descriptor of the window's X connection, which becomes readable when the server sends
// something; -1 for displays other than X11.
int connectionDescriptor(SDL_Window* window);
// Whether Xlib holds events it has read but not handed on, which a wait on the descriptor
// would not see. False for displays other than X11.
bool hasQueuedEvents(SDL_Window* window);

// The desktop's DPI (the Xft.dpi resource that desktops set from their scale factor);
// 0 when the desktop does not say.
int desktopDpi(SDL_Window* window);

} // namespace ui::sdl
