#pragma once

#include <functional>

namespace ui {

// Called on the UI thread after any window handled a paint (drawn or, while hidden, laid
// out): whoever waits for something to appear looks again then, instead of polling. One
// listener; an empty one clears it.
void setPaintListener(std::function<void()> listener);

} // namespace ui
