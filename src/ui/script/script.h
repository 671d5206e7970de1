#pragma once

#include "platform/result.h"

#include <string>
#include <string_view>
#include <vector>

namespace ui::script {

enum class StepKind {
    Wait,          // wait NAME
    Click,         // click NAME
    Select,        // select NAME INDEX
    Type,          // type NAME TEXT
    Key,           // key KEYNAME
    Chars,         // chars TEXT (typed into whatever has the focus)
    TabTo,         // tab-to NAME (Tab pressed until NAME has the focus, at most once round)
    ExpectFocus,   // expect-focus NAME (the control the keys go to in the newest window)
    Sleep,         // sleep MS
    Expect,        // expect NAME TEXT
    ExpectVisible, // expect-visible NAME 0|1
    Screenshot,    // screenshot FILE.png (the main window)
    ScreenshotTop, // screenshot-window FILE.png (the newest shown window, a dialog)
    Sim,           // sim plug|unplug cable|receiver
    Tray,          // tray left|right (a click on the notification-area icon)
    Quit,          // quit
};

enum class SimAction { Plug, Unplug };
enum class SimLink { Cable, Receiver };
enum class TrayButton { Left, Right };

struct Step {
    int line = 0; // 1-based line in the script file
    StepKind kind = StepKind::Quit;
    std::wstring name;    // control name, key name or file
    std::wstring text;    // the rest of the line for type and expect
    long long number = 0; // select index, sleep milliseconds, expect-visible 0 or 1
    SimAction simAction = SimAction::Plug;
    SimLink simLink = SimLink::Cable;
    TrayButton trayButton = TrayButton::Left;
};

// Largest script file read; a session script is a few dozen lines.
inline constexpr std::size_t kMaxScriptBytes = 1024 * 1024;
inline constexpr long long kMaxSleepMilliseconds = 10 * 60 * 1000;

// One step a line; blank lines and lines starting with '#' are skipped. Words are
// separated by blanks; TEXT is the rest of the line after one blank, kept as written.
// Every bad line is reported ("line N: why"), all of them in one message.
[[nodiscard]] platform::Result<std::vector<Step>> parseScript(std::string_view utf8);

// The virtual key of a key name ("Return", "Tab", "A", "F5", ...) with "Ctrl+" and
// "Shift+" prefixes allowed; 0 for an unknown name. control and shift say what is held.
struct KeyChord {
    unsigned virtualKey = 0;
    bool control = false;
    bool shift = false;
};
KeyChord keyFromName(std::wstring_view name);

} // namespace ui::script
