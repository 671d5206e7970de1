#pragma once

#include "device/detect/device_watcher.h"
#include "device/detect/link_controller.h"

namespace detect {

// Runs the steps on the thread that runs the pass. For one-shot passes driven from the
// thread that owns the channels (halvekctl's commands, tests); the program's watcher thread
// reports to a window instead (WindowSink).
class DirectSink final : public WatcherSink {
public:
    explicit DirectSink(LinkController& controller) : m_controller(controller) {}

    void interfaceArrived(std::size_t row, const platform::Event&) override
    {
        m_controller.arrival(row);
    }
    void interfaceRemoved(std::size_t row, const platform::Event&) override
    {
        m_controller.removal(row);
    }
    void firstPassDone() override {}

private:
    LinkController& m_controller;
};

} // namespace detect
