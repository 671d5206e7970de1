#pragma once

#include "profile/profile_data.h"
#include "profile/system_stages.h"

#include <array>
#include <string>

namespace profile {

inline constexpr std::size_t kEqBandCount = 10;
using EqValues = std::vector<std::int32_t>;

class CHs6533Profiledata : public CBasicProfiledata {
public:
    HeadsetSystemSetStages LoadSystemSetStages();
    void StoreSystemSetStages(const HeadsetSystemSetStages& stages);
    // Preset 0 and presets above 13 use curve 1; preset 13 has no curve (empty, nothing
    // stored). Missing bands are written into the tree as 0 while loading.
    EqValues LoadEqValues(int preset);
    void StoreEqValues(int preset, const EqValues& values);
    EqValues LoadCustomEqValues(int curve);
    void StoreCustomEqValues(int curve, const EqValues& values);
    std::vector<std::wstring> LoadCustomEqNames();
    void StoreCustomEqNames(const std::vector<std::wstring>& names);

private:
    EqValues loadCurve(const char* member, int index);
    void storeCurve(const char* member, int index, const EqValues& values);

    HeadsetSystemSetStages m_systemSetStages;
};

} // namespace profile
