#pragma once

#include "device/protocol/status.h"

#include <string>

namespace model {

// What became of loading or saving a device's profile file.
enum class ProfileResult {
    Ok,
    NoProfile,    // no profile is selected, or its name leaves the data folder
    NotSaved,     // the file was left as it was (the reason is logged)
    NotSupported, // the device keeps no profile
};

// A change that goes to the profile file and to the device: what became of each.
struct SavedAndWritten {
    ProfileResult saved = ProfileResult::Ok; // Ok too when nothing was to be saved
    protocol::Status written = protocol::Status::Ok;
};

// A short English description, for logs and halvekctl.
[[nodiscard]] inline std::string describe(ProfileResult result)
{
    switch (result) {
    case ProfileResult::Ok:
        return "done";
    case ProfileResult::NoProfile:
        return "no profile selected";
    case ProfileResult::NotSaved:
        return "the profile file could not be written";
    case ProfileResult::NotSupported:
        return "the device keeps no profile";
    }
    return "unknown result";
}

} // namespace model
