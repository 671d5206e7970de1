#pragma once

// The key assignment page's side of the main window's routing: selecting a key of the
// keyboard picture, the page's choices and buttons, and key capture through the hook.

#include "pages/page_handlers.h"

namespace pages {

void installKeySetHandler(shell::PageHost& window, const PageHooks& hooks);

} // namespace pages
