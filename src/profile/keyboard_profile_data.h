#pragma once

#include "profile/profile_data.h"
#include "profile/system_stages.h"

namespace profile {

// Custom colour groups live at group x 512 in the device's 16-bit address space.
inline constexpr int kMaxCustomGroups = 128;
// More LEDs than any device of the family has; bounds counts passed in from elsewhere.
inline constexpr int kMaxLedCount = 1024;

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    KeyboardSystemStages LoadSystemStages();
    void StoreSystemStages(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2);

    // The colours of custom group `group` for `count` LEDs; missing ones read as zero and
    // are written into the tree as zero objects (saved with the next save). A group
    // outside 0..kMaxCustomGroups-1 reads as zeros and changes nothing.
    std::vector<RgbaColour> LoadCustomColours(int group, int count);
    void StoreCustomColours(const std::vector<RgbaColour>& colours, int group);
    int LoadCustomGroup();
    void StoreCustomGroup(int group);

    const KeyboardSystemStages& systemStages() const { return m_systemStages; }

private:
    KeyboardSystemStages m_systemStages;
    std::vector<RgbaColour> m_customColours;
    int m_customGroup = 0;
};

} // namespace profile
