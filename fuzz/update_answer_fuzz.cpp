#include "platform/debug_output.h"
#include "platform/paths.h"
#include "update/update_model.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

// An answer from the network must never crash the check, and the file name made from it
// must stay inside the update folder whatever it says.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::clearDebugLines();
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    for (const auto& model : update::updateModels()) {
        const auto record = update::parseAnswer(answer, update::entryFor(model, 0x0102));
        if (!record)
            continue;
        const std::filesystem::path folder = "/cache/UpdateData";
        const auto path = (folder / platform::toPath(record->localFile)).lexically_normal();
        if (path.parent_path() != folder || record->localFile.find(L"..") != std::wstring::npos)
            __builtin_trap();
    }
    return 0;
}
