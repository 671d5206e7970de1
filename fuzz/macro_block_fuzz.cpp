#include "device/protocol/macro_block.h"

#include <cstddef>
#include <cstdint>
#include <span>

// A macro block read back from device memory: whatever parses must build back to a block
// that parses the same.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto macros = protocol::parseMacroBlock(std::span<const std::uint8_t>(data, size));
    if (!macros)
        return 0;
    const auto rebuilt = protocol::buildMacroBlock(*macros);
    if (rebuilt && !protocol::parseMacroBlock(*rebuilt))
        __builtin_trap();
    return 0;
}
