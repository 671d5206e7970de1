#include "platform/debug_output.h"
#include "profile/json_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Whatever parses must format into text that parses again to the same tree, or a save
// could damage a file that read well.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::clearDebugLines();
    const auto value =
        profile::parseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value)
        return 0;
    const auto again = profile::parseJson(profile::formatJson(*value));
    if (!again)
        __builtin_trap();
    // Invalid UTF-8 inside strings may be replaced while formatting; compare only when the
    // second round is stable.
    const auto third = profile::parseJson(profile::formatJson(*again));
    if (!third || !(*third == *again))
        __builtin_trap();
    return 0;
}
