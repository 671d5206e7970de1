#pragma once

// SDL turns SIGINT and SIGTERM into its quit event from a flag its handler sets, and only
// when it is next asked for events. A UI thread asleep in poll() would not ask until some
// other event came: this runs SDL's handler and then wakes the poll through a descriptor.

namespace ui::sdl {

// Puts our handler before whatever handles the two signals now (SDL's, after SDL_Init);
// a signal then also writes to `wakeDescriptor` (an eventfd). Signals left at their default
// or ignored are left alone. One at a time.
void chainQuitSignals(int wakeDescriptor);
// Gives the signals back to the handlers found, before SDL_Quit restores its own defaults.
void unchainQuitSignals();
// True once per signal that came since the last call: the wait must ask SDL for events.
bool takeQuitSignal();

} // namespace ui::sdl
