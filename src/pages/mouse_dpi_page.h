#pragma once

// The mouse's DPI and report rate page, installed as the window's handler of the mouse's
// controls. A thin view over MouseDpiModel: each edit is stored, written to the mouse and read
// back, and the page then shows what the mouse holds.

#include "pages/page_handlers.h"

class CTessaryMouseDevice;

namespace pages {

void installMouseDpiPage(shell::PageHost& window, const PageHooks& hooks);

// Shows the mouse's stages and report rate on its page (after a start, a read or a switch).
void showMouseDpiPage(CTessaryMouseDevice& mouse);

} // namespace pages
