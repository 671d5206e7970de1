#pragma once

// The control lines halvek-devsim takes on its stdin and through its socket: plug and
// unplug the links, sleep and wake, consumer reports, the on-device profile switch, faults,
// USB timing and a memory dump. One line in, the answer out; an answer starting with
// "error:" is a refused line.

#include "devsim/keyboard.h"

#include <atomic>
#include <filesystem>
#include <string>

namespace devsim {

class Control {
public:
    Control(Keyboard& keyboard, std::filesystem::path stateFile);

    [[nodiscard]] std::string run(const std::string& line);
    bool quitRequested() const { return m_quit.load(); }

    static std::string help();

private:
    std::string save();

    Keyboard& m_keyboard;
    std::filesystem::path m_stateFile;
    std::atomic<bool> m_quit{false};
};

} // namespace devsim
