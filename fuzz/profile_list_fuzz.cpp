#include "fuzz_folder.h"

#include "profile/profile_list.h"

// The input is the list file; every list operation runs on it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace profile;
    const auto& folder = freshFuzzFolder();
    const auto devices = folder / "keyboard";
    std::filesystem::create_directories(devices);
    writeFuzzFile(devices / kProfileListFileName, data, size);
    writeFuzzFile(folder / "factory.Json", data, size);

    ProfileList list;
    list.SetPaths(devices, folder / "factory.Json");
    list.InitProfiles();
    const int count = list.GetProfileCount();
    for (int i = 0; i < count && i < 64; ++i) {
        const auto path = list.GetProfilePath(i);
        if (!path.empty() && path.parent_path() != devices)
            __builtin_trap(); // a profile file outside its folder
    }
    list.AddProfile();
    list.CopyProfile();
    list.ImportProfile(devices / kProfileListFileName);
    list.SelectProfile(count > 0 ? count - 1 : 0);
    list.RenameProfile(L"renamed");
    list.ExportProfile(folder / "export.json");
    list.ResetProfile();
    list.DeleteProfile();
    return 0;
}
