#pragma once

#include "platform/input_hook.h"

#include <cstdint>
#include <string>

namespace testing_support {

// The input hook's seam: the test plays the desktop's keyboard and mouse, and counts the
// grabs held so that a test can see every grab released.
class ScriptedInputHook final : public platform::InputHookBackend {
public:
    explicit ScriptedInputHook(int& grabs, bool windowOnly = false)
        : m_grabs(grabs), m_windowOnly(windowOnly)
    {
    }
    ~ScriptedInputHook() override { stop(); }
    bool start(platform::HookSink& sink) override
    {
        stop();
        m_sink = &sink;
        ++m_grabs;
        return true;
    }
    void stop() override
    {
        if (m_sink)
            --m_grabs;
        m_sink = nullptr;
    }
    bool isStarted() const override { return m_sink != nullptr; }
    bool needsFocus() const override { return m_windowOnly; }
    std::string lastError() const override { return {}; }
    platform::HookSink* sink() const { return m_sink; }

    // A key pressed and released.
    void press(std::uint16_t evdev)
    {
        if (!m_sink)
            return;
        m_sink->onKey({evdev, true, 1});
        m_sink->onKey({evdev, false, 2});
    }

private:
    int& m_grabs;
    bool m_windowOnly;
    platform::HookSink* m_sink = nullptr;
};

} // namespace testing_support
