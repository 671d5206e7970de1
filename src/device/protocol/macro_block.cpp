#include "device/protocol/macro_block.h"

#include <algorithm>

namespace protocol {
namespace {

constexpr std::uint8_t kPressBit = 0x80;
constexpr std::uint8_t kTypeMask = 0x7F;

void put16(std::vector<std::uint8_t>& block, std::size_t at, std::uint64_t value)
{
    block[at] = static_cast<std::uint8_t>(value & 0xFF);
    block[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::uint16_t get16(std::span<const std::uint8_t> block, std::size_t at)
{
    return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
}

} // namespace

std::array<std::uint8_t, kMacroEventSize> encodeMacroEvent(const MacroEvent& event)
{
    return {static_cast<std::uint8_t>(event.delay & 0xFF),
            static_cast<std::uint8_t>(event.delay >> 8),
            static_cast<std::uint8_t>((event.type & kTypeMask) | (event.down ? kPressBit : 0)),
            event.code};
}

std::uint64_t macroBlockSize(std::span<const Macro> macros)
{
    std::uint64_t total = kMacroBlockHeaderSize;
    for (const auto& macro : macros) {
        total += kMacroOffsetSize + kMacroRecordHeaderSize;
        total += std::uint64_t{kMacroEventSize} * macro.events.size();
    }
    return total;
}

std::optional<std::vector<std::uint8_t>> buildMacroBlock(std::span<const Macro> macros)
{
    const std::uint64_t total = macroBlockSize(macros);
    // The total and every offset must fit in 16 bits; past that the device would read a
    // wrapped length and the records would overlap.
    if (total > kMaxMacroBlockSize)
        return std::nullopt;

    std::vector<std::uint8_t> block(static_cast<std::size_t>(total), 0);
    put16(block, 0, kMacroBlockMagic);
    put16(block, 2, total);
    put16(block, 4, macros.size());
    std::size_t record = kMacroBlockHeaderSize + kMacroOffsetSize * macros.size();
    for (std::size_t m = 0; m < macros.size(); ++m) {
        put16(block, kMacroBlockHeaderSize + kMacroOffsetSize * m, record);
        put16(block, record, macros[m].events.size());
        std::size_t at = record + kMacroRecordHeaderSize;
        for (const auto& event : macros[m].events) {
            const auto bytes = encodeMacroEvent(event);
            std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
            at += kMacroEventSize;
        }
        record = at;
    }
    return block;
}

std::optional<std::vector<Macro>> parseMacroBlock(std::span<const std::uint8_t> block)
{
    if (block.size() < kMacroBlockHeaderSize || get16(block, 0) != kMacroBlockMagic)
        return std::nullopt;
    const std::size_t total = get16(block, 2);
    const std::size_t count = get16(block, 4);
    if (total > block.size() || kMacroBlockHeaderSize + kMacroOffsetSize * count > total)
        return std::nullopt;
    const auto bytes = block.first(total);

    std::vector<Macro> macros(count);
    for (std::size_t m = 0; m < count; ++m) {
        const std::size_t record = get16(bytes, kMacroBlockHeaderSize + kMacroOffsetSize * m);
        if (record + kMacroRecordHeaderSize > total)
            return std::nullopt;
        const std::size_t events = get16(bytes, record);
        if (record + kMacroRecordHeaderSize + kMacroEventSize * events > total)
            return std::nullopt;
        macros[m].events.reserve(events);
        for (std::size_t e = 0; e < events; ++e) {
            const std::size_t at = record + kMacroRecordHeaderSize + kMacroEventSize * e;
            macros[m].events.push_back(
                MacroEvent{get16(bytes, at), static_cast<std::uint8_t>(bytes[at + 2] & kTypeMask),
                           (bytes[at + 2] & kPressBit) != 0, bytes[at + 3]});
        }
    }
    return macros;
}

} // namespace protocol
