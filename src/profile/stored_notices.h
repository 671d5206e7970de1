#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace profile {

// A stored file that could not be used and was set aside so work could go on, and what was
// started in its place. The user hears of each once, from the window or halvekctl, whatever
// read the file first: the macro list is read for key labels as well as for its own page.
struct StoredFileNotice {
    enum class Kind {
        ProfileListRebuilt,   // the profile list, made again from the profile files left
        ProfileListRestarted, // the profile list, with no profile file left: a new profile1
        MacroListRebuilt,     // the macro list, made again from the macro files left
        MacroEmptied,         // a macro's events: the macro starts empty
        ProfileReset,         // a profile file: the profile starts with the factory settings
    };
    Kind kind = Kind::ProfileReset;
    std::filesystem::path keptAs;
    std::string text; // in English, with the file names: what halvekctl prints
};

// Notes a notice for whoever tells the user. Thread-safe, like the two below.
void noteStoredFile(StoredFileNotice notice);
[[nodiscard]] bool hasStoredFileNotices();
// The notices not yet taken, oldest first.
[[nodiscard]] std::vector<StoredFileNotice> takeStoredFileNotices();

} // namespace profile
