#pragma once

#include "app/lighting_sync/sync_device.h"
#include "platform/event.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace testing_support {

// A device as the main window's adapter presents one: it records what it is given.
class FakeSyncDevice : public app::lighting_sync::SyncDevice {
public:
    explicit FakeSyncDevice(detect::DeviceKind kind, int lights = 3)
        : m_kind(kind), m_lights(lights)
    {
    }

    detect::DeviceKind kind() const override { return m_kind; }
    bool isOnline() const override { return online.load(); }
    bool isLightingSync() const override { return sync.load(); }
    void setLightingSync(bool on) override
    {
        sync = on;
        changed();
    }
    // As the channel does: the flag first, then the watchers.
    void setOnline(bool on)
    {
        online = on;
        changed();
    }
    void watchChanges(const std::weak_ptr<platform::Event>& watcher) override
    {
        const std::lock_guard lock(m_lock);
        m_watchers.push_back(watcher);
    }
    int lightCount() const override { return m_lights; }
    void setLightColour(int index, std::uint32_t colour) override
    {
        {
            const std::lock_guard lock(m_lock);
            if (index == 0)
                m_colours.push_back(colour);
        }
        coloured.set();
    }
    profile::LightInfo lightSettings() const override { return settings; }
    void showOnPage(const profile::LightInfo& shown) override { pageSettings = shown; }
    void showEffectMode(int mode) override { pageMode = mode; }
    void writeLighting(const profile::LightInfo& written) override
    {
        settings = written;
        ++writes;
    }
    void setAudioSpectrum(std::span<const std::int32_t> values) override
    {
        spectrum.assign(values.begin(), values.end());
        ++spectrumCalls;
    }
    void setExternalColour(std::span<const std::int32_t> values) override
    {
        externalColour.assign(values.begin(), values.end());
    }

    std::vector<std::uint32_t> colours() const
    {
        const std::lock_guard lock(m_lock);
        return m_colours;
    }

    std::atomic<bool> online{true};
    std::atomic<bool> sync{false};
    profile::LightInfo settings;
    profile::LightInfo pageSettings;
    int pageMode = -1;
    int writes = 0;
    std::vector<std::int32_t> spectrum;
    int spectrumCalls = 0;
    std::vector<std::int32_t> externalColour;
    platform::Event coloured{platform::Event::ResetPolicy::Automatic};

private:
    void changed()
    {
        std::vector<std::weak_ptr<platform::Event>> watchers;
        {
            const std::lock_guard lock(m_lock);
            watchers = m_watchers;
        }
        for (const auto& watcher : watchers) {
            if (auto event = watcher.lock())
                event->set();
        }
    }

    detect::DeviceKind m_kind;
    int m_lights;
    mutable std::mutex m_lock;
    std::vector<std::uint32_t> m_colours; // light 0's colours, in order
    std::vector<std::weak_ptr<platform::Event>> m_watchers;
};

} // namespace testing_support
