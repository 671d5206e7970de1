#pragma once

#include <filesystem>

namespace profile {

class CBasicProfiledata;
class ProfileList;

// After macro `deleted` left the library: renumbers the macro references of every profile
// of the list except `skip` (the caller adjusts its current profile in memory), saving
// each profile that changed through `scratch`. Returns the number of profiles saved.
int renumberMacroInProfiles(ProfileList& list, CBasicProfiledata& scratch, int deleted,
                            const std::filesystem::path& skip);

// True when some key of some profile of the list uses macro `index`.
bool macroUsedByProfiles(ProfileList& list, CBasicProfiledata& scratch, int index);

} // namespace profile
