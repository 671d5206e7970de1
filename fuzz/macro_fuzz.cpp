#include "fuzz_folder.h"

#include "profile/json_file.h"
#include "profile/key_function_code.h"
#include "profile/macro_library.h"

// The input is the macro index and every macro file it may name, and an imported file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace profile;
    const auto& folder = freshFuzzFolder();
    const auto devices = folder / "keyboard";
    std::filesystem::create_directories(devices);
    writeFuzzFile(devices / kMacroIndexFileName, data, size);
    writeFuzzFile(folder / "import.mac", data, size);

    MacroLibrary library(devices);
    library.Load();
    for (std::size_t i = 0; i < library.count() && i < 64; ++i) {
        const auto path = library.macroPath(static_cast<int>(i));
        if (!path.empty() && path.parent_path() != devices)
            __builtin_trap(); // a macro file outside its folder
        if (!path.empty())
            writeFuzzFile(path, data, size);
        if (const auto rows = library.LoadMacro(static_cast<int>(i)))
            library.SaveMacro(static_cast<int>(i), *rows);
        library.LoadEvents(static_cast<int>(i));
    }
    library.ImportMacro(folder / "import.mac");
    library.NewMacro();
    library.RenameMacro(0, L"renamed");
    std::vector<KeyAssignment> keys(4, KeyAssignment{makeCode(0x70, 1, 0), makeCode(0x20, 0, 4)});
    renumberMacroReferences(keys, 0);
    resetStaleMacroKeys(keys, library.count());
    library.DeleteMacro(0);
    return 0;
}
