#include "profile/macro_references.h"

#include "profile/key_codes.h"
#include "profile/macro_library.h"
#include "profile/profile_data.h"
#include "profile/profile_list.h"

namespace profile {

int renumberMacroInProfiles(ProfileList& list, CBasicProfiledata& scratch, int deleted,
                            const std::filesystem::path& skip)
{
    int saved = 0;
    const int count = list.GetProfileCount();
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path path = list.GetProfilePath(i);
        if (path.empty() || path == skip)
            continue;
        scratch.LoadScratchFile(path);
        std::vector<KeyAssignment> keys = scratch.LoadScratchKeyList();
        if (!renumberMacroReferences(keys, deleted))
            continue;
        scratch.StoreScratchKeyList(keys);
        if (scratch.SaveScratchData(path) == 0)
            ++saved;
    }
    return saved;
}

bool macroUsedByProfiles(ProfileList& list, CBasicProfiledata& scratch, int index)
{
    const int count = list.GetProfileCount();
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path path = list.GetProfilePath(i);
        if (path.empty())
            continue;
        scratch.LoadScratchFile(path);
        for (const KeyAssignment& key : scratch.LoadScratchKeyList()) {
            if (isMacroCode(key.current) && key.current.p1 == index)
                return true;
        }
    }
    return false;
}

} // namespace profile
