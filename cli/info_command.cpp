#include "command_registry.h"
#include "keyboard_session.h"

#include "device/key_positions.h"
#include "device/protocol/sequences.h"

#include <cstdio>

namespace {

constexpr const char* kUsage = R"(Usage: halvekctl [--simulate[=MODE]] [--trace] info

Reads the keyboard as the program does when it opens it (Begin, the information block, the
key layout and the LED map, End) and prints the information block in hex, the number of key
slots, the macro memory, every key slot with its code and LED, and how many of the factory
key codes the layout holds.
)";

// The first slot holding the code, or the slot count when none does.
std::size_t slotOf(const protocol::DeviceBlocks& blocks, std::size_t slots, device::KeyCode code)
{
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const auto* entry = &blocks.keyLayout[protocol::kKeyEntrySize * slot];
        if (entry[0] == code.type && entry[1] == code.p1 && entry[2] == code.p2)
            return slot;
    }
    return slots;
}

int showInfo(const cli::GlobalOptions& options, const std::vector<std::string>& args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "halvekctl info: unexpected argument '%s'\n", args[0].c_str());
        return 2;
    }
    cli::KeyboardSession session(options, "info");
    if (!session.open())
        return session.exitStatus();
    protocol::DeviceBlocks blocks;
    const auto result = protocol::fullRead(session.channel(), blocks);
    session.flushTrace();
    const std::size_t slots = blocks.info[protocol::kInfoKeySlotCount];
    std::printf("Link: %s\n", session.onReceiver() ? "receiver" : "cable");
    std::printf("Information block (%zu bytes):\n%s", blocks.info.size(),
                cli::hexBytes(blocks.info).c_str());
    std::printf("Key slots: %zu\n", slots);
    std::printf("Macro memory: %zu bytes\n",
                protocol::kMacroMemoryUnit * blocks.info[protocol::kInfoMacroUnits]);
    if (result.outcome == protocol::FullReadOutcome::BlockSizeRefused) {
        std::fprintf(stderr,
                     "halvekctl info: %zu key slots do not fit a %zu-byte block; the "
                     "layout was not read\n",
                     slots, protocol::kMaxBlockSize);
        return 1;
    }
    if (result.firstFailure != protocol::Status::Ok)
        return session.fail("the full read", result.firstFailure);

    std::puts("Key layout (slot: type p1 p2, LED):");
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const auto* entry = &blocks.keyLayout[protocol::kKeyEntrySize * slot];
        std::printf("  %3zu: %02x %02x %02x  led %u\n", slot, entry[0], entry[1], entry[2],
                    blocks.ledMap[slot]);
    }
    std::size_t found = 0;
    std::puts("Key positions (position: slot, LED):");
    for (std::size_t position = 0; position < device::kKeyPositionCount; ++position) {
        const std::size_t slot = slotOf(blocks, slots, device::kFactoryKeyCodes[position]);
        if (slot == slots) {
            std::printf("  %3zu: not in the layout\n", position);
            continue;
        }
        ++found;
        std::printf("  %3zu: slot %zu, led %u\n", position, slot, blocks.ledMap[slot]);
    }
    std::printf("Factory key codes found: %zu of %zu\n", found, device::kKeyPositionCount);
    return 0;
}

[[maybe_unused]] const bool registered = cli::registerCommand({
    "info",
    "read the keyboard's information block, key layout and LED map",
    kUsage,
    showInfo,
});

} // namespace
