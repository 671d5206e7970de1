#include "device/model/light_watch.h"

#include <algorithm>

namespace model {

void LightWatch::changed()
{
    m_changes.fetch_add(1);
    // The count goes up before the flag is read, and arm() sets the flag before it reads the
    // count: one of the two sees the other, so a change never slips past a sleeping owner.
    if (!m_armed.load() || !m_armed.exchange(false))
        return;
    std::lock_guard guard(m_wakeLock);
    if (m_wake)
        m_wake();
}

void LightWatch::comparePainted(const LightColourList& lights, std::size_t count)
{
    bool differs = false;
    for (std::size_t light = 0; light < std::min(count, kLightCount); ++light) {
        const std::uint32_t word = lights.word(light);
        if (word != m_lastPainted[light]) {
            m_lastPainted[light] = word;
            differs = true;
        }
    }
    if (differs)
        changed();
}

bool LightWatch::arm(std::uint64_t seen)
{
    m_armed.store(true);
    if (m_changes.load() == seen)
        return true;
    // Changed meanwhile: take the wake back unless changed() already took it.
    return !m_armed.exchange(false);
}

void LightWatch::setWake(Wake wake)
{
    std::lock_guard guard(m_wakeLock);
    m_wake = std::move(wake);
}

} // namespace model
