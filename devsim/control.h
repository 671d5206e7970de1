#pragma once

// The control lines halvek-devsim takes on its stdin and through its socket: plug and
// unplug the links, sleep and wake, consumer reports, the on-device profile switch, faults,
// USB timing and a memory dump. One line in, the answer out; an answer starting with
// "error:" is a refused line. With several devices a line may start with a device's name
// ("mouse fault lost"); without one it is for the first device.

#include "devsim/emulated_device.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace devsim {

class Control {
public:
    struct Target {
        EmulatedDevice* device = nullptr; // observed; outlives the control
        std::filesystem::path stateFile;  // empty: "save" is refused
    };

    Control(EmulatedDevice& device, std::filesystem::path stateFile);
    explicit Control(std::vector<Target> targets);

    [[nodiscard]] std::string run(const std::string& line);
    bool quitRequested() const { return m_quit.load(); }

    static std::string help();

private:
    std::string run(const Target& target, const std::vector<std::string>& words);
    static std::string save(const Target& target);

    std::vector<Target> m_targets;
    std::atomic<bool> m_quit{false};
};

} // namespace devsim
