#pragma once

#include "profile/profile_data.h"
#include "profile/system_stages.h"

namespace profile {

class CMouseProfiledata : public CBasicProfiledata {
public:
    // Loaded stages replace the held ones at their index; held stages beyond the loaded
    // count remain. Returns all held stages.
    std::vector<DpiStage> LoadDpiStages();
    void StoreDpiStages(const std::vector<DpiStage>& list);
    int GetActiveStage() const { return m_activeStage; }
    void StoreActiveStage(int index);
    MouseSystemStages LoadMouseSystemStages();
    void StoreMouseSystemStages(std::uint32_t word0, std::uint32_t word1, std::uint32_t word2);
    std::vector<CorrectionEntry> LoadCorrections();

private:
    std::vector<DpiStage> m_dpiStages;
    int m_activeStage = 0;
    MouseSystemStages m_systemStages;
    std::vector<CorrectionEntry> m_corrections;
};

} // namespace profile
