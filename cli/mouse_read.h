#pragma once

#include "keyboard_session.h"

namespace cli {

// `read settings` on the mouse: its active slot and 71-byte record, with the DPI stages.
int readMouseSettings(KeyboardSession& session, bool json);

} // namespace cli
