#pragma once

#include "device/model/lighting_types.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace model {

// The light colour list: the frame the lighting thread paints and the UI thread, the live
// frame and the synchronised lighting read or write without a lock. Each light is one atomic
// colour word, so a reader may see two steps mixed but never a torn light.
class LightColourList {
public:
    LightColourList() = default;
    // A copy is a snapshot, light by light.
    LightColourList(const LightColourList& other) { *this = other; }
    LightColourList& operator=(const LightColourList& other)
    {
        for (std::size_t i = 0; i < kLightCount; ++i)
            setWord(i, other.word(i));
        return *this;
    }

    static constexpr std::size_t size() { return kLightCount; }

    LightColour get(std::size_t light) const
    {
        return light < kLightCount
                   ? LightColour::fromWord(m_words[light].load(std::memory_order_relaxed))
                   : LightColour{};
    }
    // Outside the list nothing is stored.
    void set(std::size_t light, LightColour colour)
    {
        if (light < kLightCount)
            m_words[light].store(colour.word(), std::memory_order_relaxed);
    }
    void set(std::size_t light, Rgb colour, std::uint8_t brightness)
    {
        set(light, LightColour{colour.red, colour.green, colour.blue, brightness});
    }
    std::uint32_t word(std::size_t light) const
    {
        return light < kLightCount ? m_words[light].load(std::memory_order_relaxed) : 0;
    }
    void setWord(std::size_t light, std::uint32_t word)
    {
        if (light < kLightCount)
            m_words[light].store(word, std::memory_order_relaxed);
    }
    void fill(LightColour colour)
    {
        for (auto& word : m_words)
            word.store(colour.word(), std::memory_order_relaxed);
    }
    std::array<LightColour, kLightCount> snapshot() const
    {
        std::array<LightColour, kLightCount> colours;
        for (std::size_t i = 0; i < kLightCount; ++i)
            colours[i] = get(i);
        return colours;
    }

private:
    std::array<std::atomic<std::uint32_t>, kLightCount> m_words{};
};

} // namespace model
